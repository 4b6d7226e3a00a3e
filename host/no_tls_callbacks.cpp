// Windows builds of the loadable module only. The module must run none of its own code when the
// host loads it, but the mingw-w64 DLL start-up pulls in its TLS support whenever this symbol is
// left for the runtime library to define, and that support installs two TLS callbacks that the
// loader runs on every load and every thread start. The module has no thread-local data, so it
// defines the symbol itself as "no TLS initialisation": the start-up code checks it for null,
// and the runtime's TLS directory and callbacks are then never linked in.
extern "C" {
extern const void* const __dyn_tls_init_callback;
const void* const __dyn_tls_init_callback = nullptr;
}
