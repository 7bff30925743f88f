/* calc_example.c: calculates and prints the results of a few example tests, one of each kind of
 * analyser, through the public header only: a first look at what KVCalculateResults fills.
 * Not part of the library; it touches no analyser. */
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "KorvantaSDK.h"

#define FIELD(name) \
  { #name, offsetof(KVResults, name) }
static const struct {
  const char* name;
  size_t offset;
} kFields[] = {FIELD(fatPercent),
               FIELD(fatKg),
               FIELD(leanPercent),
               FIELD(leanKg),
               FIELD(totalWeight),
               FIELD(dryLeanKg),
               FIELD(tbwPercent),
               FIELD(tbwLitres),
               FIELD(ecwPercent),
               FIELD(ecwLitres),
               FIELD(icwPercent),
               FIELD(icwLitres),
               FIELD(bodyCellMass),
               FIELD(tbwDifference),
               FIELD(ecwTbwRatio),
               FIELD(impedanceRatioF4F1),
               FIELD(bmrKcal),
               FIELD(bmrPerKg),
               FIELD(energyRequirementKcal),
               FIELD(bmi),
               FIELD(fatMassIndex),
               FIELD(leanMassIndex),
               FIELD(waistHipRatio),
               FIELD(impedanceRatioF2F1),
               FIELD(ecwRegressionLitres),
               FIELD(tbwRegressionLitres),
               FIELD(overhydrationLitres),
               FIELD(skeletalMuscleKg),
               FIELD(membraneCapacitance),
               FIELD(resistanceZero),
               FIELD(resistanceIntracellular),
               FIELD(characteristicFrequency),
               FIELD(alpha)};

static KVTestRecord Subject(int32_t model, int32_t sex, int32_t age, int32_t height, float weight, int32_t activity,
                            int32_t waist, int32_t hip, int32_t f1, int32_t f2, int32_t f4) {
  KVTestRecord test;
  memset(&test, 0, sizeof test);
  test.modelCode = model;
  test.sex = sex;
  test.age = age;
  test.height = height;
  test.weight = weight;
  test.activityLevel = activity;
  test.waist = waist;
  test.hip = hip;
  test.impedanceF1 = f1;
  test.impedanceF2 = f2;
  test.impedanceF4 = f4;
  return test;
}

/* Prints the fields the calculation filled; the others are 0 for this kind of analyser. */
static void Show(const char* title, const KVTestRecord* test, uint32_t waterEquation) {
  KVResults results;
  KVWChar wideName[32];
  char name[32];
  size_t i;
  const int32_t rc = KVCalculateResults(test, &results, waterEquation);
  KVGetDeviceModelName(test->modelCode, wideName, 32);
  for (i = 0; i < 32; ++i) name[i] = (char)wideName[i]; /* the names are plain ASCII */
  printf("%s: model %d (%s), waterEquation %u: result %d\n", title, (int)test->modelCode, name, (unsigned)waterEquation,
         (int)rc);
  for (i = 0; i < sizeof kFields / sizeof kFields[0]; ++i) {
    float value;
    memcpy(&value, (const char*)&results + kFields[i].offset, sizeof value);
    if (value != 0.0f) printf("  %-24s %.6g\n", kFields[i].name, (double)value);
  }
  printf("\n");
}

int main(void) {
  KVSpectrumPoint spectrum[7];
  const double frequencies[7] = {5, 10, 20, 50, 100, 200, 500};
  KVTestRecord test;
  int i;

  test = Subject(1, 1, 35, 180, 80.0f, 3, 84, 100, 0, 500, 0);
  Show("Single frequency, adult", &test, 0);
  test = Subject(7, 0, 45, 165, 62.5f, 2, 72, 96, 620, 560, 500);
  Show("Four frequencies, main water equation", &test, 0);
  Show("Four frequencies, high-frequency water equation", &test, 2);
  test = Subject(2, 1, 12, 150, 40.0f, 4, 60, 75, 700, 640, 0);
  Show("Two frequencies, child of 12", &test, 0);

  /* A spectrum of the Cole model: 400 + 200 / (1 + j f / 50) ohm, as magnitude and phase. */
  for (i = 0; i < 7; ++i) {
    const double w = frequencies[i] / 50.0;
    const double re = 400.0 + 200.0 / (1.0 + w * w);
    const double im = -200.0 * w / (1.0 + w * w);
    spectrum[i].frequency = (float)frequencies[i];
    spectrum[i].magnitude = (float)sqrt(re * re + im * im);
    spectrum[i].phase = (float)(atan2(im, re) * 180.0 / 3.141592653589793);
  }
  test = Subject(15, 1, 40, 170, 70.0f, 3, 84, 100, 560, 500, 450);
  test.resistance = 500;
  test.spectrumCount = 7;
  test.spectrum = spectrum;
  Show("Spectrum", &test, 0);
  return 0;
}
