// KorvantaSDK.cs: P/Invoke declarations of every export of KorvantaSDK.h and KorvantaSession.h and of
// every record that crosses them. Records are sequential structs with the C headers' names and field
// types; text is UTF-16 (CharSet.Unicode); calls and callbacks are Winapi (stdcall on 32-bit Windows).
// The stored-test containers marshal as ordinary arrays, so no unsafe code is needed. Analyser.cs is
// the task-based layer above these.
using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Korvanta {

  /// <summary>One point of an impedance spectrum.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct KVSpectrumPoint {
    public float frequency;
    public float magnitude;
    public float phase;
  }

  /// <summary>One human test. testTime: seconds since 1970 UTC, -1 for no time; spectrum points to spectrumCount KVSpectrumPoint (see KVSpectrum).</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct KVTestRecord {
    public int modelCode;
    public uint serialNumber;
    public long testTime;
    public int sex;
    public int age;
    public int height;
    public float weight;
    public int activityLevel;
    public int waist;
    public int hip;
    public int impedanceF1;
    public int impedanceF2;
    public int impedanceF3;
    public int impedanceF4;
    public int resistance;
    public float decimalReading1;
    public float decimalReading2;
    public int spectrumCount;
    public IntPtr spectrum;
  }

  /// <summary>The 33 human results.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct KVResults {
    public float fatPercent;
    public float fatKg;
    public float leanPercent;
    public float leanKg;
    public float totalWeight;
    public float dryLeanKg;
    public float tbwPercent;
    public float tbwLitres;
    public float ecwPercent;
    public float ecwLitres;
    public float icwPercent;
    public float icwLitres;
    public float bodyCellMass;
    public float tbwDifference;
    public float ecwTbwRatio;
    public float impedanceRatioF4F1;
    public float bmrKcal;
    public float bmrPerKg;
    public float energyRequirementKcal;
    public float bmi;
    public float fatMassIndex;
    public float leanMassIndex;
    public float waistHipRatio;
    public float impedanceRatioF2F1;
    public float ecwRegressionLitres;
    public float tbwRegressionLitres;
    public float overhydrationLitres;
    public float skeletalMuscleKg;
    public float membraneCapacitance;
    public float resistanceZero;
    public float resistanceIntracellular;
    public float characteristicFrequency;
    public float alpha;
  }

  /// <summary>The human normal ranges.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct KVNormals {
    public int fatPercentLow;
    public int fatPercentHigh;
    public int fatKgLow;
    public int fatKgHigh;
    public int leanPercentLow;
    public int leanPercentHigh;
    public int leanKgLow;
    public int leanKgHigh;
    public int targetWeightLow;
    public int targetWeightHigh;
    public int targetWeightFromBmi;
    public int tbwPercentLow;
    public int tbwPercentHigh;
    public int tbwLitresLow;
    public int tbwLitresHigh;
    public int ecwPercentNormal;
    public int icwPercentNormal;
    public int fatMassIndexLow;
    public int fatMassIndexHigh;
    public int leanMassIndexLow;
    public int leanMassIndexHigh;
    public float ecwTbwRatioNormal;
    public float impedanceRatioF4F1Low;
    public float impedanceRatioF4F1High;
    public int bmiLow;
    public int bmiHigh;
    public float waistHipRatioMax;
    public float impedanceRatioF2F1Low;
    public float impedanceRatioF2F1High;
  }

  /// <summary>One equine test.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct CXTestRecord {
    public int modelCode;
    public uint serialNumber;
    public long testTime;
    public int height;
    public int conditionScore;
    public int impedance5;
    public int impedance16;
    public int impedance24;
    public int impedance50;
    public int impedance140;
    public int impedance200;
    public int impedance280;
    public float decimalReading;
  }

  /// <summary>The 15 equine results.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct CXResults {
    public float fatKg;
    public float bodyMassKg;
    public float estimatedWeightKg;
    public float fatPercent;
    public float tbwLitres;
    public float tbwPercent;
    public float ecwLitres;
    public float ecwPerKg;
    public float ecwPercentTbw;
    public float icwLitres;
    public float icwPerKg;
    public float icwPercentTbw;
    public float ecwFractionLitres;
    public float ecwFractionPercent;
    public float impedanceRatio280To5;
  }

  /// <summary>The equine normal ranges.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct CXNormals {
    public int fatKgLow;
    public int fatKgHigh;
    public int fatPercentLow;
    public int fatPercentHigh;
    public int tbwLitresLow;
    public int tbwLitresHigh;
    public int tbwPercentLow;
    public int tbwPercentHigh;
    public int ecwLitresLow;
    public int ecwLitresHigh;
    public int ecwPerKgLow;
    public int ecwPerKgHigh;
    public int ecwPercentTbwLow;
    public int ecwPercentTbwHigh;
    public int icwLitresLow;
    public int icwLitresHigh;
    public int icwPerKgLow;
    public int icwPerKgHigh;
    public int icwPercentTbwLow;
    public int icwPercentTbwHigh;
    public int ecwFractionLitresLow;
    public int ecwFractionLitresHigh;
    public int ecwFractionPercentLow;
    public int ecwFractionPercentHigh;
  }

  /// <summary>Download container of a human analyser. Make it with Create(), which sets capacity to 100.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct KVStoredTests {
    public int capacity;
    [MarshalAs(UnmanagedType.ByValArray, SizeConst = KorvantaSDK.KV_STORED_TEST_CAPACITY)]
    public KVTestRecord[] tests;
    public int testCount;    // index of the first empty slot, or 100
    public uint blockHeader; // the three header bytes, big-endian, uninterpreted
    public static KVStoredTests Create() {
      return new KVStoredTests { capacity = KorvantaSDK.KV_STORED_TEST_CAPACITY,
                                 tests = new KVTestRecord[KorvantaSDK.KV_STORED_TEST_CAPACITY] };
    }
  }

  /// <summary>Download container of an equine analyser. Make it with Create(), which sets capacity to 100.</summary>
  [StructLayout(LayoutKind.Sequential)]
  public struct CXStoredTests {
    public int capacity;
    [MarshalAs(UnmanagedType.ByValArray, SizeConst = KorvantaSDK.KV_STORED_TEST_CAPACITY)]
    public CXTestRecord[] tests;
    public int testCount;
    public uint blockHeader;
    public static CXStoredTests Create() {
      return new CXStoredTests { capacity = KorvantaSDK.KV_STORED_TEST_CAPACITY,
                                 tests = new CXTestRecord[KorvantaSDK.KV_STORED_TEST_CAPACITY] };
    }
  }

  /// <summary>One serial port as KVListPorts describes it; transport is a KVTransport.</summary>
  [StructLayout(LayoutKind.Sequential, CharSet = CharSet.Unicode)]
  public struct KVPortInfo {
    [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 64)] public string name;
    [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 128)] public string description;
    public int transport;
    public int usbVendorId;   // -1 when not USB
    public int usbProductId;  // -1 when not USB
    [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 64)] public string usbSerialNumber;
    [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 64)] public string manufacturer;
    [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 64)] public string product;
    [MarshalAs(UnmanagedType.ByValTStr, SizeConst = 18)] public string bluetoothAddress;
  }

  public enum KVTransport { Native = 0, Usb = 1, Bluetooth = 2, Other = 3 }

  /// <summary>Progress of a session's transfer in bytes; non-zero cancels the session. Keep the
  /// delegate alive for as long as it is set.</summary>
  [UnmanagedFunctionPointer(CallingConvention.Winapi)]
  public delegate int KVProgressCallback(IntPtr user, int done, int total);

  /// <summary>Every byte on a session's line: direction 1 sent, 0 received; bytes valid during the
  /// call only. Keep the delegate alive for as long as it is set.</summary>
  [UnmanagedFunctionPointer(CallingConvention.Winapi)]
  public delegate void KVTraceCallback(IntPtr user, int direction, IntPtr bytes, int count, long elapsedMicroseconds);

  /// <summary>A spectrum in unmanaged memory for KVTestRecord.spectrum; dispose it after the calculation.</summary>
  public sealed class KVSpectrum : IDisposable {
    public IntPtr Pointer { get; private set; }
    public int Count { get; private set; }
    public KVSpectrum(KVSpectrumPoint[] points) {
      Count = points.Length;
      int size = Marshal.SizeOf(typeof(KVSpectrumPoint));
      Pointer = Marshal.AllocHGlobal(Math.Max(1, size * Count));
      for (int i = 0; i < Count; ++i) Marshal.StructureToPtr(points[i], Pointer + i * size, false);
    }
    /// <summary>Points test at this spectrum.</summary>
    public void AttachTo(ref KVTestRecord test) {
      test.spectrum = Pointer;
      test.spectrumCount = Count;
    }
    public void Dispose() {
      if (Pointer != IntPtr.Zero) Marshal.FreeHGlobal(Pointer);
      Pointer = IntPtr.Zero;
    }
  }

  /// <summary>The library's exports. Result codes: 0 success, negative failure (KV_ERR_* in the C
  /// header); the Bluetooth functions answer truth values, 1 or 0.</summary>
  public static class KorvantaSDK {
    public const string Library = "KorvantaSDK";
    public const int KV_STORED_TEST_CAPACITY = 100;
    const CallingConvention Call = CallingConvention.Winapi;
    const CharSet Text = CharSet.Unicode;

    // ---- Library frame and catalogue
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVGetSdkLibraryVersion(out uint major, out uint minor);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVGetDeviceFamily(int modelCode);
    /// <summary>name: a StringBuilder of at least 32 characters' capacity; pass its Capacity.</summary>
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVGetDeviceModelName(int modelCode, StringBuilder name, int capacity);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVGetDeviceModelNameShort(int modelCode, StringBuilder name, int capacity);

    // ---- Calculation (reentrant)
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVCalculateResults(ref KVTestRecord test, out KVResults results, uint waterEquation);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVCalculateNormals(ref KVTestRecord test, ref KVResults results, out KVNormals normals);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXCalculateResults(ref CXTestRecord test, out CXResults results);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXCalculateNormals(ref CXTestRecord test, ref CXResults results, out CXNormals normals);

    // ---- Device link (one thread at a time)
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVOpenComport(string portName);
    [DllImport(Library, CallingConvention = Call)]
    public static extern void KVCloseComport();
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVConnect();
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadModelVersion(out int modelCode, out byte version1, out byte version2,
                                                out byte version3, out byte version4, out byte version5);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadProtocolInfo(out byte protocol1, out byte protocol2, out byte protocol3);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadSerialNumber(out uint serialNumber);
    /// <summary>address: a char array of at least 12; no terminator is written.</summary>
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVReadPrinterAddress([Out] char[] address, int capacity);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVWritePrinterAddress(string address, int length);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadCurrentTime(out long time, int daylightSavingFlag);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadCalibrationTime(out long time);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVWriteCurrentTime();
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVWriteCurrentTimeAs(long time);
    /// <summary>stored: from KVStoredTests.Create().</summary>
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadStoredTestData(ref KVStoredTests stored);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVReadTestKorvanta(out int reading1, out int reading2, out int reading3, out int reading4,
                                                out int reading5, out float decimal1, out float decimal2);
    /// <summary>stored: from CXStoredTests.Create().</summary>
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXReadStoredTestData(ref CXStoredTests stored);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXReadTestCaballix(out int reading1, out int reading2, out int reading3, out int reading4,
                                                out int reading5, out int reading6, out int reading7, out float decimalReading);

    // ---- Bluetooth setup: truth values, 1 or 0
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVIsBTAvailable();
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVGetBTStackInfo(StringBuilder info, int capacity);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSearchBTDevices(out int newDeviceCount, out int pairedDeviceCount, int interactive,
                                               IntPtr parent, ushort timeoutMultiplier);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVGetBTKorvantaDevice(StringBuilder name, int nameCapacity, StringBuilder address,
                                                   int addressCapacity, StringBuilder comPort, int comPortCapacity,
                                                   ushort timeoutMultiplier);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVAuthenticateBTDevice(IntPtr parent, ushort timeoutMultiplier);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVUnAuthenticateBTDevices(int interactive, IntPtr parent, ushort timeoutMultiplier);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVIsDeviceInstallInProgress(uint timeoutMilliseconds);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVAutoSetupBT(StringBuilder comPort, int capacity, int interactive, IntPtr parent);
  
    // ---- Sessions (KorvantaSession.h): one link per port, any thread, cancellable
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVSessionOpen(string portName, out IntPtr session);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVSessionGetOpenError(StringBuilder text, int capacity);
    [DllImport(Library, CallingConvention = Call)]
    public static extern void KVSessionClose(IntPtr session);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionCancel(IntPtr session);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionSetTimeouts(IntPtr session, int handshakeMilliseconds, int replySilenceMilliseconds);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionSetProgress(IntPtr session, KVProgressCallback? callback, IntPtr user);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionSetTrace(IntPtr session, KVTraceCallback? callback, IntPtr user);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVSessionGetLastError(IntPtr session, StringBuilder text, int capacity);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionConnect(IntPtr session);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadModelVersion(IntPtr session, out int modelCode, out byte version1,
                                                       out byte version2, out byte version3, out byte version4,
                                                       out byte version5);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadProtocolInfo(IntPtr session, out byte protocol1, out byte protocol2,
                                                       out byte protocol3);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadSerialNumber(IntPtr session, out uint serialNumber);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVSessionReadPrinterAddress(IntPtr session, [Out] char[] address, int capacity);
    [DllImport(Library, CallingConvention = Call, CharSet = Text)]
    public static extern int KVSessionWritePrinterAddress(IntPtr session, string address, int length);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadCurrentTime(IntPtr session, out long time, int daylightSavingFlag);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadCalibrationTime(IntPtr session, out long time);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionWriteCurrentTime(IntPtr session);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionWriteCurrentTimeAs(IntPtr session, long time);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadStoredTestData(IntPtr session, ref KVStoredTests stored);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVSessionReadTestKorvanta(IntPtr session, out int reading1, out int reading2,
                                                       out int reading3, out int reading4, out int reading5,
                                                       out float decimal1, out float decimal2);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXSessionReadStoredTestData(IntPtr session, ref CXStoredTests stored);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXSessionReadTestCaballix(IntPtr session, out int reading1, out int reading2,
                                                       out int reading3, out int reading4, out int reading5,
                                                       out int reading6, out int reading7, out float decimalReading);

    // ---- Batch calculation: arrays of count elements (reentrant)
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVCalculateMany([In] KVTestRecord[] tests, int count, uint waterEquation,
                                             [Out] KVResults[] results, [Out] KVNormals[] normals, [Out] int[] codes);
    [DllImport(Library, CallingConvention = Call)]
    public static extern int CXCalculateMany([In] CXTestRecord[] tests, int count, [Out] CXResults[] results,
                                             [Out] CXNormals[] normals, [Out] int[] codes);

    // ---- Ports of this computer
    [DllImport(Library, CallingConvention = Call)]
    public static extern int KVListPorts([In, Out] KVPortInfo[]? ports, int capacity, out int count);
  }
}
