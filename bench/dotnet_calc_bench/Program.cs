// Program.cs: nanoseconds per test for the same seeded human tests three ways: Calculator.Calculate
// (the package's layer), the raw P/Invoke pair KVCalculateResults + KVCalculateNormals, and
// Calculator.CalculateMany (one KVCalculateMany call per block of 250). Best of five rounds.
using System;
using System.Diagnostics;
using Korvanta;

const int Count = 100_000;
var random = new Random(1234);
var tests = new KVTestRecord[Count];
for (int i = 0; i < Count; ++i) {
  tests[i] = new KVTestRecord {
    modelCode = 7, sex = i % 2, age = 18 + random.Next(70), height = 150 + random.Next(50),
    weight = 50f + random.Next(600) / 10f, activityLevel = 1 + random.Next(5), waist = 70 + random.Next(40),
    hip = 80 + random.Next(40), impedanceF1 = 550 + random.Next(200), impedanceF2 = 500 + random.Next(200),
    impedanceF3 = 450 + random.Next(200), impedanceF4 = 420 + random.Next(200), resistance = 480 + random.Next(200),
  };
}

double Best(Action run) {
  double best = double.MaxValue;
  for (int round = 0; round < 5; ++round) {
    var clock = Stopwatch.StartNew();
    run();
    best = Math.Min(best, clock.Elapsed.TotalMilliseconds * 1e6 / Count);
  }
  return best;
}

double layer = Best(() => { foreach (var t in tests) Calculator.Calculate(t); });
double raw = Best(() => {
  for (int i = 0; i < Count; ++i) {
    KorvantaSDK.KVCalculateResults(ref tests[i], out KVResults results, 0);
    KorvantaSDK.KVCalculateNormals(ref tests[i], ref results, out KVNormals normals);
  }
});
// Blocks of 250, as a host calculates a download or a file in parts; larger output arrays go to the
// large-object heap, whose allocations and collections cost more than the calculation itself.
var block = tests[..250];
double batch = Best(() => { for (int r = 0; r < Count / block.Length; ++r) Calculator.CalculateMany(block); });
Console.WriteLine($"Calculator.Calculate      {layer,8:F1} ns/test");
Console.WriteLine($"raw P/Invoke pair         {raw,8:F1} ns/test");
Console.WriteLine($"Calculator.CalculateMany  {batch,8:F1} ns/test");
