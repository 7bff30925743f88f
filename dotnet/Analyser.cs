// Analyser.cs: the task-based layer over KorvantaSDK.cs: Analyser (one session, one port), the
// calculations as methods that throw, and KorvantaException for a failure code. Each blocking
// export runs on a pool thread; nothing here keeps state outside the Analyser object.
using System;
using System.Collections.Generic;
using System.Text;
using System.Threading;
using System.Threading.Tasks;

namespace Korvanta {

  /// <summary>The library's result codes (KV_ERR_* in the C header).</summary>
  public enum ResultCode {
    Ok = 0, WrongKind = -1, WaterEquation = -3, Sex = -4, Age = -5, Height = -6, Weight = -7, Activity = -8,
    Waist = -9, Hip = -10, Argument = -18, PortOpen = -50, PortQueues = -51, NoHandshake = -52, Echo = -53,
    Ack = -54, Receive = -55, Send = -56, Cancelled = -57, Busy = -58,
  }

  /// <summary>A call that returned a failure code. Detail is the library's words for it (the session's
  /// last error), empty where the library has none (the calculations). A cancelled session raises
  /// OperationCanceledException instead, with this as its inner exception.</summary>
  public class KorvantaException : Exception {
    public ResultCode Code { get; }
    public string Call { get; }
    public string Detail { get; }
    public KorvantaException(ResultCode code, string call, string detail)
        : base(call + " returned " + (int)code + " (" + code + ")" + (detail.Length > 0 ? ": " + detail : "")) {
      Code = code;
      Call = call;
      Detail = detail;
    }

    internal static void Check(int code, string call) {
      if (code < 0) throw new KorvantaException((ResultCode)code, call, "");
    }
  }

  /// <summary>The calculations, reentrant on any thread.</summary>
  public static class Calculator {
    /// <summary>Results and normal ranges of one human test; KorvantaException for a refused test.</summary>
    public static (KVResults results, KVNormals normals) Calculate(KVTestRecord test, uint waterEquation = 0) {
      KorvantaException.Check(KorvantaSDK.KVCalculateResults(ref test, out KVResults results, waterEquation),
                              "KVCalculateResults");
      KorvantaException.Check(KorvantaSDK.KVCalculateNormals(ref test, ref results, out KVNormals normals),
                              "KVCalculateNormals");
      return (results, normals);
    }

    /// <summary>Results and normal ranges of one equine test.</summary>
    public static (CXResults results, CXNormals normals) Calculate(CXTestRecord test) {
      KorvantaException.Check(KorvantaSDK.CXCalculateResults(ref test, out CXResults results), "CXCalculateResults");
      KorvantaException.Check(KorvantaSDK.CXCalculateNormals(ref test, ref results, out CXNormals normals),
                              "CXCalculateNormals");
      return (results, normals);
    }

    /// <summary>Every test in one call (KVCalculateMany): codes[i] is 0 or why test i was refused,
    /// whose results and normals are then all zero. Throws nothing for a refused test.</summary>
    public static (KVResults[] results, KVNormals[] normals, int[] codes) CalculateMany(KVTestRecord[] tests,
                                                                                       uint waterEquation = 0) {
      var results = new KVResults[tests.Length];
      var normals = new KVNormals[tests.Length];
      var codes = new int[tests.Length];
      KorvantaException.Check(KorvantaSDK.KVCalculateMany(tests, tests.Length, waterEquation, results, normals, codes),
                              "KVCalculateMany");
      return (results, normals, codes);
    }

    /// <summary>Every equine test in one call (CXCalculateMany), as the human CalculateMany.</summary>
    public static (CXResults[] results, CXNormals[] normals, int[] codes) CalculateMany(CXTestRecord[] tests) {
      var results = new CXResults[tests.Length];
      var normals = new CXNormals[tests.Length];
      var codes = new int[tests.Length];
      KorvantaException.Check(KorvantaSDK.CXCalculateMany(tests, tests.Length, results, normals, codes),
                              "CXCalculateMany");
      return (results, normals, codes);
    }

    /// <summary>The model's name (short: the short form); KorvantaException(WrongKind) for an unknown model.</summary>
    public static string ModelName(int modelCode, bool shortName = false) {
      var name = new StringBuilder(64);
      KorvantaException.Check(shortName ? KorvantaSDK.KVGetDeviceModelNameShort(modelCode, name, name.Capacity)
                                        : KorvantaSDK.KVGetDeviceModelName(modelCode, name, name.Capacity),
                              "KVGetDeviceModelName");
      return name.ToString();
    }

    /// <summary>True for an equine model (device family -6 or -7).</summary>
    public static bool IsEquine(int modelCode) {
      int family = KorvantaSDK.KVGetDeviceFamily(modelCode);
      return family == -6 || family == -7;
    }
  }

  /// <summary>One analyser on one port: a session of its own, so analysers on different ports work at
  /// once. One call at a time per analyser (a second one in flight fails with ResultCode.Busy).
  /// A cancelled token, Cancel() or Dispose() ends the call in flight within about 50 ms with
  /// OperationCanceledException, and every later call too: dispose it and open a new one.</summary>
  public sealed class Analyser : IDisposable {
    IntPtr session;
    // Guards session and calls: Dispose waits for the calls in flight before it frees the session.
    readonly object gate = new object();
    int calls;
    // Kept alive in fields for as long as the session may call them.
    readonly KVProgressCallback progressCallback;
    KVTraceCallback? traceCallback;
    IProgress<(int done, int total)>? progress;
    Action<bool, byte[], TimeSpan>? trace;

    public string Port { get; }
    /// <summary>The model code the analyser gave when it was opened.</summary>
    public int ModelCode { get; private set; }
    public bool IsEquine => Calculator.IsEquine(ModelCode);

    Analyser(string port, IntPtr session) {
      Port = port;
      this.session = session;
      progressCallback = (user, done, total) => {
        progress?.Report((done, total));
        return 0;
      };
    }

    /// <summary>Opens port ("/dev/ttyUSB0", "5" for COM5), waits for the analyser's handshake (at most
    /// handshakeMilliseconds; 0: the library's 60 s) and reads its model.</summary>
    public static async Task<Analyser> OpenAsync(string port, int handshakeMilliseconds = 0,
                                                 CancellationToken token = default) {
      token.ThrowIfCancellationRequested();
      int code = KorvantaSDK.KVSessionOpen(port, out IntPtr handle);
      if (code < 0) {
        var text = new StringBuilder(512);
        KorvantaSDK.KVSessionGetOpenError(text, text.Capacity);
        throw new KorvantaException((ResultCode)code, "KVSessionOpen", text.ToString());
      }
      var analyser = new Analyser(port, handle);
      try {
        analyser.Check(handle, KorvantaSDK.KVSessionSetProgress(handle, analyser.progressCallback, IntPtr.Zero),
                       "KVSessionSetProgress", token);
        analyser.Check(handle, KorvantaSDK.KVSessionSetTimeouts(handle, handshakeMilliseconds, 0),
                       "KVSessionSetTimeouts", token);
        await analyser.Run(s => KorvantaSDK.KVSessionConnect(s), "KVSessionConnect", token).ConfigureAwait(false);
        analyser.ModelCode = await analyser.Run(s => {
          int rc = KorvantaSDK.KVSessionReadModelVersion(s, out int model, out _, out _, out _, out _, out _);
          return (rc, model);
        }, "KVSessionReadModelVersion", token).ConfigureAwait(false);
      } catch {
        analyser.Dispose();
        throw;
      }
      return analyser;
    }

    /// <summary>The serial ports of this computer with a device behind them, by name.</summary>
    public static KVPortInfo[] ListPorts() {
      var ports = new KVPortInfo[16];
      while (true) {
        KorvantaException.Check(KorvantaSDK.KVListPorts(ports, ports.Length, out int count), "KVListPorts");
        if (count <= ports.Length) {
          Array.Resize(ref ports, count);
          return ports;
        }
        ports = new KVPortInfo[count];
      }
    }

    /// <summary>Called on the calling thread with every byte on the line: sent (true) or received,
    /// the bytes, the time since the open. Set it between calls; null stops the trace.</summary>
    public Action<bool, byte[], TimeSpan>? Trace {
      get => trace;
      set {
        KVTraceCallback? callback = null;
        if (value != null) {
          callback = (user, direction, bytes, count, micros) => {
            var copy = new byte[count];
            System.Runtime.InteropServices.Marshal.Copy(bytes, copy, 0, count);
            value(direction == 1, copy, TimeSpan.FromTicks(micros * 10));
          };
        }
        IntPtr handle = Enter();
        try {
          Check(handle, KorvantaSDK.KVSessionSetTrace(handle, callback, IntPtr.Zero), "KVSessionSetTrace", default);
          trace = value;
          traceCallback = callback;
        } finally {
          Leave();
        }
      }
    }

    /// <summary>The stored tests of a human analyser: the slots before the first empty one, then any
    /// later slot that is not empty. progress gets the block's bytes as they arrive, ending at
    /// (3200, 3200), on the downloading thread.</summary>
    public async Task<KVTestRecord[]> DownloadAsync(IProgress<(int done, int total)>? progress = null,
                                                    CancellationToken token = default) {
      var stored = KVStoredTests.Create();
      await WithProgress(progress, () => Run(s => KorvantaSDK.KVSessionReadStoredTestData(s, ref stored),
                                             "KVSessionReadStoredTestData", token)).ConfigureAwait(false);
      return Occupied(stored.tests, stored.testCount);
    }

    /// <summary>The stored tests of an equine analyser, as DownloadAsync.</summary>
    public async Task<CXTestRecord[]> DownloadEquineAsync(IProgress<(int done, int total)>? progress = null,
                                                          CancellationToken token = default) {
      var stored = CXStoredTests.Create();
      await WithProgress(progress, () => Run(s => KorvantaSDK.CXSessionReadStoredTestData(s, ref stored),
                                             "CXSessionReadStoredTestData", token)).ConfigureAwait(false);
      return Occupied(stored.tests, stored.testCount);
    }

    // The download's progress goes to `progress` while `download` runs, and nowhere after.
    async Task WithProgress(IProgress<(int done, int total)>? progress, Func<Task> download) {
      this.progress = progress;
      try {
        await download().ConfigureAwait(false);
      } finally {
        this.progress = null;
      }
    }

    public Task<uint> ReadSerialNumberAsync(CancellationToken token = default) =>
        Run(s => (KorvantaSDK.KVSessionReadSerialNumber(s, out uint serial), serial), "KVSessionReadSerialNumber",
            token);

    /// <summary>The analyser's clock, read as local time on it; null when it has none.</summary>
    public Task<DateTimeOffset?> ReadCurrentTimeAsync(CancellationToken token = default) =>
        Run(s => (KorvantaSDK.KVSessionReadCurrentTime(s, out long time, 0), Time(time)), "KVSessionReadCurrentTime",
            token);

    public Task<DateTimeOffset?> ReadCalibrationTimeAsync(CancellationToken token = default) =>
        Run(s => (KorvantaSDK.KVSessionReadCalibrationTime(s, out long time), Time(time)),
            "KVSessionReadCalibrationTime", token);

    /// <summary>Sets the analyser's clock to when, or to this computer's time when null.</summary>
    public Task WriteCurrentTimeAsync(DateTimeOffset? when = null, CancellationToken token = default) =>
        Run(s => when.HasValue ? KorvantaSDK.KVSessionWriteCurrentTimeAs(s, when.Value.ToUnixTimeSeconds())
                               : KorvantaSDK.KVSessionWriteCurrentTime(s),
            "KVSessionWriteCurrentTime", token);

    public Task<string> ReadPrinterAddressAsync(CancellationToken token = default) =>
        Run(s => {
          var address = new char[12];
          return (KorvantaSDK.KVSessionReadPrinterAddress(s, address, address.Length), new string(address));
        }, "KVSessionReadPrinterAddress", token);

    public Task WritePrinterAddressAsync(string address, CancellationToken token = default) =>
        Run(s => KorvantaSDK.KVSessionWritePrinterAddress(s, address, address.Length), "KVSessionWritePrinterAddress",
            token);

    /// <summary>Any thread: the call in flight and every later one end with OperationCanceledException.</summary>
    public void Cancel() {
      lock (gate) {
        if (session != IntPtr.Zero) KorvantaSDK.KVSessionCancel(session);
      }
    }

    /// <summary>Cancels the calls in flight, waits for them and closes the port (not from a progress
    /// or trace handler, whose call it would wait for).</summary>
    public void Dispose() {
      IntPtr handle;
      lock (gate) {
        handle = session;
        session = IntPtr.Zero;
        if (handle == IntPtr.Zero) return;
        KorvantaSDK.KVSessionCancel(handle);
        while (calls > 0) Monitor.Wait(gate);
      }
      KorvantaSDK.KVSessionClose(handle);
    }

    IntPtr Enter() {
      lock (gate) {
        if (session == IntPtr.Zero) throw new ObjectDisposedException(nameof(Analyser));
        ++calls;
        return session;
      }
    }

    void Leave() {
      lock (gate) {
        if (--calls == 0) Monitor.PulseAll(gate);
      }
    }

    static DateTimeOffset? Time(long seconds) =>
        seconds < 0 ? (DateTimeOffset?)null : DateTimeOffset.FromUnixTimeSeconds(seconds);

    static T[] Occupied<T>(T[] slots, int count) where T : struct {
      var tests = new List<T>();
      for (int i = 0; i < slots.Length; ++i) {
        if (i < count || !EqualityComparer<T>.Default.Equals(slots[i], default)) tests.Add(slots[i]);
      }
      return tests.ToArray();
    }

    Task Run(Func<IntPtr, int> call, string name, CancellationToken token) =>
        Run(s => (call(s), 0), name, token);

    // Runs call on a pool thread; the token's registration cancels the session while it runs.
    async Task<T> Run<T>(Func<IntPtr, (int code, T value)> call, string name, CancellationToken token) {
      token.ThrowIfCancellationRequested();
      IntPtr handle = Enter();
      try {
        (int code, T value) outcome;
        using (token.Register(Cancel)) {
          outcome = await Task.Run(() => call(handle)).ConfigureAwait(false);
        }
        Check(handle, outcome.code, name, token);
        return outcome.value;
      } finally {
        Leave();
      }
    }

    // handle: the session, valid while the caller counts as a call in flight (or before it is shared).
    void Check(IntPtr handle, int code, string name, CancellationToken token) {
      if (code >= 0) return;
      var text = new StringBuilder(512);
      KorvantaSDK.KVSessionGetLastError(handle, text, text.Capacity);
      var error = new KorvantaException((ResultCode)code, name, text.ToString());
      if (code == (int)ResultCode.Cancelled) throw new OperationCanceledException(error.Message, error, token);
      throw error;
    }
  }
}
