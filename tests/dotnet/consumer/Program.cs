// Program.cs: one calculation through the packaged library, printed as fatPercent,fatPercentLow,fatPercentHigh
// (single call) and the same from the batch export.
using System;
using System.Globalization;
using Korvanta;

var test = new KVTestRecord { modelCode = 7, sex = 1, age = 48, height = 188, weight = 72.8f, activityLevel = 3,
                              waist = 79, hip = 106, impedanceF1 = 582, impedanceF2 = 520, impedanceF3 = 488,
                              impedanceF4 = 468, resistance = 515, testTime = -1 };
var (results, normals) = Calculator.Calculate(test);
var many = Calculator.CalculateMany(new[] { test });
foreach (var (r, n) in new[] { (results, normals), (many.results[0], many.normals[0]) })
  Console.WriteLine(string.Join(",", r.fatPercent.ToString(CultureInfo.InvariantCulture), n.fatPercentLow, n.fatPercentHigh));
