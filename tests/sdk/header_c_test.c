/* header_c_test.c: the public header compiles as plain C; its static assertions pin the same record layouts
 * in C as in C++ (sizes and offsets, KVWChar's two bytes). */
#include "KorvantaSDK.h"
