/* header_c_test.c: the public headers compile as plain C; their static assertions pin the same record
 * layouts in C as in C++ (sizes and offsets, KVWChar's two bytes). */
#include "KorvantaSDK.h"
#include "KorvantaSession.h"
