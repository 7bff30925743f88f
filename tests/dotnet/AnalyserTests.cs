// AnalyserTests.cs: Korvanta.Sdk on .NET against this build's library, simulator and `korvanta` tool:
// struct sizes against C, downloads from two analysers at once against the tool's, progress, a cancel,
// the batch calculation against the single calls, and typed failures.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using System.Threading.Tasks;
using Korvanta;
using Xunit;

public sealed class Simulator : IDisposable {
  public static readonly string Bin = Path.Combine(Environment.GetEnvironmentVariable("KV_BUILD_DIR") ?? "build/dev", "bin");
  readonly Process process;
  public string Port { get; }
  public Simulator(string arguments) {
    process = Process.Start(new ProcessStartInfo(Path.Combine(Bin, "kv_simulator"), arguments) {
      RedirectStandardOutput = true })!;
    Port = process.StandardOutput.ReadLine()!;
  }
  public void Dispose() { process.Kill(); process.WaitForExit(); }

  public static string Run(string program, string arguments) {
    var p = Process.Start(new ProcessStartInfo(Path.Combine(Bin, program), arguments) { RedirectStandardOutput = true })!;
    string output = p.StandardOutput.ReadToEnd();
    p.WaitForExit();
    Assert.Equal(0, p.ExitCode);
    return output;
  }
}

public class AnalyserTests {
  [Fact]
  public void EveryStructHasItsCSize() {
    var lines = Simulator.Run("kv_struct_sizes", "").Split('\n', StringSplitOptions.RemoveEmptyEntries);
    Assert.Equal(10, lines.Length);
    foreach (var line in lines) {
      var parts = line.Split(' ');
      var type = typeof(KorvantaSDK).Assembly.GetType("Korvanta." + parts[0], true)!;
      Assert.True(int.Parse(parts[1]) == Marshal.SizeOf(type), line + ", .NET " + Marshal.SizeOf(type));
    }
  }

  // Every field of each record with a column in the tool's CSV row equals that cell.
  static void AssertEqualsTheTool<T>(T[] records, string csv) {
    var lines = csv.Split('\n', StringSplitOptions.RemoveEmptyEntries);
    var header = lines[0].Split(',');
    Assert.Equal(lines.Length - 1, records.Length);
    int compared = 0;
    for (int i = 0; i < records.Length; ++i) {
      var cells = lines[i + 1].Split(',');
      foreach (var field in typeof(T).GetFields()) {
        int column = Array.IndexOf(header, field.Name);
        if (column < 0 || field.FieldType == typeof(IntPtr)) continue;
        string cell = cells[column];
        object expected = field.Name == "testTime"
            ? (cell.Length == 0 ? -1L : DateTimeOffset.Parse(cell, CultureInfo.InvariantCulture).ToUnixTimeSeconds())
            : Convert.ChangeType(cell, field.FieldType, CultureInfo.InvariantCulture);
        Assert.True(expected.Equals(field.GetValue(records[i])), $"row {i} {field.Name}: C {cell}, .NET {field.GetValue(records[i])}");
        ++compared;
      }
    }
    Assert.True(compared > 10 * records.Length, "compared " + compared);
  }

  // Records each report with a number drawn from one sequence shared by all recorders.
  sealed class Recorder : IProgress<(int done, int total)> {
    static int sequence;
    public readonly List<(int done, int total)> Reports = new();
    public int First = -1, Last = -1;
    public readonly TaskCompletionSource Started = new(TaskCreationOptions.RunContinuationsAsynchronously);
    public void Report((int done, int total) value) {
      Last = Interlocked.Increment(ref sequence);
      if (First < 0) First = Last;
      lock (Reports) Reports.Add(value);
      if (value.done >= 640) Started.TrySetResult();
    }
  }

  [Fact]
  public async Task TwoAnalysersDownloadAtOnceWithProgressAsTheToolDoes() {
    // The block comes over about 1.3 s, so the two downloads' progress reports interleave.
    using var human = new Simulator("--model 7 --fault slow:latency-ms=0,byte-us=400");
    using var equine = new Simulator("--model 12 --fault slow:latency-ms=0,byte-us=400");
    string Tool(string port) => Simulator.Run("korvanta", $"download --port {port} --format csv --utc --progress off");
    var c = await Task.WhenAll(Task.Run(() => Tool(human.Port)), Task.Run(() => Tool(equine.Port)));

    using var a = await Analyser.OpenAsync(human.Port);
    using var b = await Analyser.OpenAsync(equine.Port);
    Assert.Equal((7, false, 12, true), (a.ModelCode, a.IsEquine, b.ModelCode, b.IsEquine));
    long received = 0;
    a.Trace = (sent, bytes, elapsed) => { if (!sent) received += bytes.Length; };
    var progress = new Recorder();
    var other = new Recorder();
    var humanTests = a.DownloadAsync(progress);
    var equineTests = b.DownloadEquineAsync(other);
    await Task.WhenAll(humanTests, equineTests);
    Assert.True(progress.First < other.Last && other.First < progress.Last, "the downloads did not overlap");
    AssertEqualsTheTool(await humanTests, c[0]);
    AssertEqualsTheTool(await equineTests, c[1]);
    Assert.True(received >= 3200, "traced " + received);

    Assert.Equal((3200, 3200), progress.Reports[^1]);
    Assert.True(progress.Reports.Count >= 3200 / 64, "reports " + progress.Reports.Count);
    for (int i = 1; i < progress.Reports.Count; ++i) Assert.True(progress.Reports[i].done >= progress.Reports[i - 1].done);
  }

  [Fact]
  public async Task ATokenCancelsTheDownloadAndEveryLaterCall() {
    using var simulator = new Simulator("--model 7 --fault slow:latency-ms=0,byte-us=3000");
    using var analyser = await Analyser.OpenAsync(simulator.Port);
    using var cts = new CancellationTokenSource();
    var progress = new Recorder();
    var download = analyser.DownloadAsync(progress, cts.Token);
    await progress.Started.Task.WaitAsync(TimeSpan.FromSeconds(10));
    var clock = Stopwatch.StartNew();
    cts.Cancel();
    var error = await Assert.ThrowsAnyAsync<OperationCanceledException>(() => download);
    Assert.True(clock.Elapsed < TimeSpan.FromMilliseconds(500), "cancelled after " + clock.Elapsed);
    Assert.Equal(ResultCode.Cancelled, Assert.IsType<KorvantaException>(error.InnerException).Code);
    Assert.True(progress.Reports[^1].done < 3200);
    var later = await Assert.ThrowsAnyAsync<OperationCanceledException>(() => analyser.ReadSerialNumberAsync());
    Assert.Equal(ResultCode.Cancelled, ((KorvantaException)later.InnerException!).Code);
  }

  [Fact]
  public async Task DisposeEndsTheDownloadInFlightAndClosesThePort() {
    using var simulator = new Simulator("--model 7 --fault slow:latency-ms=0,byte-us=3000");
    var analyser = await Analyser.OpenAsync(simulator.Port);
    var progress = new Recorder();
    var download = analyser.DownloadAsync(progress);
    await progress.Started.Task.WaitAsync(TimeSpan.FromSeconds(10));
    analyser.Dispose();
    await Assert.ThrowsAnyAsync<OperationCanceledException>(() => download.WaitAsync(TimeSpan.FromSeconds(1)));
    await Assert.ThrowsAsync<ObjectDisposedException>(() => analyser.ReadSerialNumberAsync());
    using var again = await Analyser.OpenAsync(simulator.Port);  // the port is free for a new session
    Assert.Equal(7, again.ModelCode);
  }

  static byte[] Bytes<T>(T value) where T : struct => MemoryMarshal.AsBytes(new[] { value }.AsSpan()).ToArray();

  [Fact]
  public void TheBatchEqualsTheSingleCallsBitForBit() {
    var random = new Random(1039);
    var tests = Enumerable.Range(0, 300).Select(i => new KVTestRecord {
      modelCode = i % 50 == 0 ? 12 : new[] { 7, 11, 14 }[i % 3], sex = random.Next(0, 2), age = random.Next(-2, 105),
      height = random.Next(100, 215), weight = (float)(30 + random.NextDouble() * 120), activityLevel = random.Next(1, 6),
      waist = random.Next(50, 140), hip = random.Next(60, 150), impedanceF1 = random.Next(400, 800),
      impedanceF2 = random.Next(380, 750), impedanceF3 = random.Next(350, 700), impedanceF4 = random.Next(330, 680),
      resistance = random.Next(350, 750), testTime = -1 }).ToArray();
    var (results, normals, codes) = Calculator.CalculateMany(tests, 2);
    for (int i = 0; i < tests.Length; ++i) {
      int code = KorvantaSDK.KVCalculateResults(ref tests[i], out KVResults r, 2);
      var n = new KVNormals();
      if (code == 0) code = KorvantaSDK.KVCalculateNormals(ref tests[i], ref r, out n);
      else r = new KVResults();
      Assert.Equal(code, codes[i]);
      Assert.Equal(Bytes(r), Bytes(results[i]));
      Assert.Equal(Bytes(n), Bytes(normals[i]));
    }
    Assert.InRange(codes.Count(code => code == 0), 150, 290);
    Assert.Contains((int)ResultCode.WrongKind, codes);
    Assert.Contains((int)ResultCode.Age, codes);

    var horses = Enumerable.Range(0, 200).Select(i => new CXTestRecord {
      modelCode = i % 40 == 0 ? 7 : 12 + i % 2, height = random.Next(120, 190), conditionScore = random.Next(1, 10),
      impedance5 = random.Next(300, 500), impedance16 = random.Next(280, 460), impedance24 = random.Next(270, 440),
      impedance50 = random.Next(250, 420), impedance140 = random.Next(230, 400), impedance200 = random.Next(220, 380),
      impedance280 = random.Next(210, 360), testTime = -1 }).ToArray();
    var (cxResults, cxNormals, cxCodes) = Calculator.CalculateMany(horses);
    for (int i = 0; i < horses.Length; ++i) {
      var r = new CXResults();
      var n = new CXNormals();
      int code = KorvantaSDK.CXCalculateResults(ref horses[i], out r);
      if (code == 0) Assert.Equal(0, KorvantaSDK.CXCalculateNormals(ref horses[i], ref r, out n));
      else r = new CXResults();
      Assert.Equal(code, cxCodes[i]);
      Assert.Equal(Bytes(r), Bytes(cxResults[i]));
      Assert.Equal(Bytes(n), Bytes(cxNormals[i]));
    }
    Assert.Equal(5, cxCodes.Count(code => code == (int)ResultCode.WrongKind));
  }

  [Fact]
  public async Task FailuresAreTypedAndSayWhy() {
    var refused = Assert.Throws<KorvantaException>(() => Calculator.Calculate(new KVTestRecord { modelCode = 7, sex = 1 }));
    Assert.Equal(ResultCode.Age, refused.Code);
    var open = await Assert.ThrowsAsync<KorvantaException>(() => Analyser.OpenAsync("/dev/kv-no-such-port"));
    Assert.Equal(ResultCode.PortOpen, open.Code);
    Assert.Contains("No such file", open.Detail);
    Assert.Equal("Korvanta Quattron 40", Calculator.ModelName(7));
    Assert.Equal(ResultCode.WrongKind, Assert.Throws<KorvantaException>(() => Calculator.ModelName(99)).Code);
    Assert.All(Analyser.ListPorts(), port => Assert.StartsWith("/dev/", port.name));
  }
}
