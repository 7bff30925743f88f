// DotnetTest.cs: the .NET declarations against the Linux library under Mono: every struct's marshalled
// size equals the C size, a calculation equals the `korvanta` tool's, and a download from the
// simulator gives the tests the tool downloaded. Arguments: sizes.txt calc.csv download.csv port.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Reflection;
using System.Runtime.InteropServices;
using Korvanta;

static class DotnetTest {
  static int passed, failed;

  static void Check(bool ok, string what) {
    if (ok) { ++passed; } else { ++failed; Console.WriteLine("FAILED: " + what); }
  }

  // One dictionary per data line, header name to cell (the tool's numeric CSV needs no quoting).
  static List<Dictionary<string, string>> ReadCsv(string path) {
    var lines = File.ReadAllLines(path);
    var header = lines[0].Split(',');
    var rows = new List<Dictionary<string, string>>();
    for (int i = 1; i < lines.Length; ++i) {
      var cells = lines[i].Split(',');
      var row = new Dictionary<string, string>();
      for (int c = 0; c < header.Length && c < cells.Length; ++c) row[header[c]] = cells[c];
      rows.Add(row);
    }
    return rows;
  }

  static object Parse(string text, Type type, string name) {
    if (name == "testTime")
      return text.Length == 0 ? -1L : DateTimeOffset.Parse(text, CultureInfo.InvariantCulture).ToUnixTimeSeconds();
    if (type == typeof(float)) return float.Parse(text, CultureInfo.InvariantCulture);
    if (type == typeof(uint)) return uint.Parse(text, CultureInfo.InvariantCulture);
    return int.Parse(text, CultureInfo.InvariantCulture);
  }

  // Every field of record that has a column must equal that cell; returns how many were compared.
  static int CompareFields(object record, Dictionary<string, string> row, string what) {
    int compared = 0;
    foreach (FieldInfo field in record.GetType().GetFields()) {
      if (field.FieldType == typeof(IntPtr) || !row.ContainsKey(field.Name)) continue;
      object expected = Parse(row[field.Name], field.FieldType, field.Name);
      Check(expected.Equals(field.GetValue(record)), what + "." + field.Name + ": C " + row[field.Name] +
            ", .NET " + field.GetValue(record));
      ++compared;
    }
    return compared;
  }

  static void Sizes(string path) {
    foreach (var line in File.ReadAllLines(path)) {
      var parts = line.Split(' ');
      var type = typeof(KorvantaSDK).Assembly.GetType("Korvanta." + parts[0]);
      int size = Marshal.SizeOf(type);
      Check(size == int.Parse(parts[1]), parts[0] + " is " + size + " bytes in .NET, " + parts[1] + " in C");
      Console.WriteLine("size " + parts[0] + " " + size);
    }
  }

  static void Calculation(string path) {
    var test = new KVTestRecord { modelCode = 7, sex = 1, age = 48, height = 188, weight = 72.8f, activityLevel = 3,
                                  waist = 79, hip = 106, impedanceF1 = 582, impedanceF2 = 520, impedanceF3 = 488,
                                  impedanceF4 = 468, resistance = 515, testTime = -1 };
    KVResults results;
    KVNormals normals;
    Check(KorvantaSDK.KVCalculateResults(ref test, out results, 0) == 0, "KVCalculateResults");
    Check(KorvantaSDK.KVCalculateNormals(ref test, ref results, out normals) == 0, "KVCalculateNormals");
    var row = ReadCsv(path)[0];
    int n = CompareFields(results, row, "results") + CompareFields(normals, row, "normals");
    Console.WriteLine("calculation: " + n + " fields equal the C path's (fatPercent " +
                      results.fatPercent.ToString("R", CultureInfo.InvariantCulture) + ")");
  }

  static void Download(string path, string port) {
    Check(KorvantaSDK.KVOpenComport(port) == 0, "KVOpenComport " + port);
    Check(KorvantaSDK.KVConnect() == 0, "KVConnect");
    var model = new System.Text.StringBuilder(64);
    var stored = KVStoredTests.Create();
    int code = KorvantaSDK.KVReadStoredTestData(ref stored);
    KorvantaSDK.KVCloseComport();
    Check(code == 0, "KVReadStoredTestData returned " + code);
    Check(KorvantaSDK.KVGetDeviceModelName(stored.tests[0].modelCode, model, model.Capacity) == 0, "model name");
    var rows = ReadCsv(path);
    int compared = 0;
    foreach (var row in rows) compared += CompareFields(stored.tests[int.Parse(row["slot"])], row, "slot " + row["slot"]);
    // The tool also lists non-empty slots after the first empty one.
    Check(stored.testCount > 0 && rows.Count >= stored.testCount, "testCount " + stored.testCount + ", C rows " + rows.Count);
    Console.WriteLine("download: " + stored.testCount + " tests of a " + model + ", " + compared +
                      " fields equal the C path's");
  }

  static int Main(string[] args) {
    Sizes(args[0]);
    Calculation(args[1]);
    Download(args[2], args[3]);
    Console.WriteLine(passed + " passed, " + failed + " failed");
    return failed == 0 ? 0 : 1;
  }
}
