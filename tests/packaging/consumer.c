/* consumer.c: a host built against an installed or unpacked kit: prints the library's version and
 * the fat percentage of one test, as lines the packaging test compares. */
#include <stdio.h>
#include <string.h>

#include <KorvantaSDK.h>

int main(void) {
  uint32_t major = 0, minor = 0;
  KVTestRecord test;
  KVResults results;
  int32_t code;
  if (KVGetSdkLibraryVersion(&major, &minor) != 0) return 1;
  printf("version %u.%u\n", (unsigned)major, (unsigned)minor);
  memset(&test, 0, sizeof test);
  test.modelCode = 1;
  test.sex = 1;
  test.age = 35;
  test.height = 180;
  test.weight = 80.0f;
  test.activityLevel = 3;
  test.waist = 84;
  test.hip = 100;
  test.impedanceF2 = 500;
  code = KVCalculateResults(&test, &results, 0);
  printf("code %d fatPercent %.2f\n", (int)code, (double)results.fatPercent);
  return code == 0 ? 0 : 2;
}
