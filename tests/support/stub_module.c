/* A well-formed module file whose servers do nothing but answer their activation: a host must
   get through loading, the descriptor and start-up, and then meet the activation's failure.
   Built twice:
   - STUB_ACTIVATION_CRASHES: activation dereferences null; the validate command must report
     each group's child process as crashed and go on, not crash itself;
   - otherwise activation returns 2, as a module does when the host lacks a service it needs.
   The servers carry a real build's name, so that a host checking names gets to the activation. */
#include <stddef.h>

#if defined(_WIN32)
#define STUB_EXPORT __declspec(dllexport)
#else
#define STUB_EXPORT __attribute__((visibility("default")))
#endif

struct stub_server {
    const char* class_name;
    const char* server_name;
    int (*activate)(int version, void* global_lookup, void* local, void* server_data);
    void* reserved;
};

struct stub_descriptor {
    unsigned int sync_word;
    unsigned int version;
    unsigned int platform;
    void* (*startup)(void);
    void (*shutdown)(void* host_argument);
    const struct stub_server* servers;
};

static void* stub_startup(void) {
    return (void*)4;
}

static void stub_shutdown(void* host_argument) {
    (void)host_argument;
}

static int stub_activate(int version, void* global_lookup, void* local, void* server_data) {
    (void)version;
    (void)global_lookup;
    (void)local;
    (void)server_data;
#if defined(STUB_ACTIVATION_CRASHES)
    volatile int* nowhere = NULL;
    return *nowhere;
#else
    return 2; /* a service the server needs is missing */
#endif
}

static const struct stub_server stub_servers[] = {
    {"CameraHandler", "VellaryCamera0.1.5test2", stub_activate, NULL},
    {"CameraInterface", "VellaryCamera0.1.5test2", stub_activate, NULL},
    {NULL, NULL, NULL, NULL},
};

STUB_EXPORT const struct stub_descriptor _mod_descrip = {
    0x04121994u, 3u, 0x300u, stub_startup, stub_shutdown, stub_servers};
