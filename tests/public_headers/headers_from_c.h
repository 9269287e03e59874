/* What headers_from_c.c, compiled as C, hands to the C++ tests. */
#ifndef HEADERS_FROM_C_H
#define HEADERS_FROM_C_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

const char *TavrelMessageFromC(int32_t status);
const char *OrleskMessageFromC(int32_t status);

#ifdef __cplusplus
}
#endif

#endif
