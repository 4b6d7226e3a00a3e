// The build variant (test1, test2, test3) is fixed when the module is built, by the definition
// VELLARY_BUILD_VARIANT = 1, 2 or 3. It names the servers and chooses how rays are finished.
#pragma once

#ifndef VELLARY_BUILD_VARIANT
#error "VELLARY_BUILD_VARIANT must be 1, 2 or 3"
#endif
#if VELLARY_BUILD_VARIANT < 1 || VELLARY_BUILD_VARIANT > 3
#error "VELLARY_BUILD_VARIANT must be 1, 2 or 3"
#endif

#define VELLARY_STRINGIFY2(x) #x
#define VELLARY_STRINGIFY(x) VELLARY_STRINGIFY2(x)
#define VELLARY_SERVER_NAME "VellaryCamera0.1.5test" VELLARY_STRINGIFY(VELLARY_BUILD_VARIANT)
