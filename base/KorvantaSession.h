/* KorvantaSession.h: the kit's interface beyond the 32 exports of KorvantaSDK.h: sessions, one per
 * analyser port, each with its own link, usable from any thread, cancellable, with progress and a
 * wire trace; the serial ports of this computer; the calculations of many tests in one call.
 * Plain C like KorvantaSDK.h, whose records, text type and calling convention it uses.
 *
 * Thread contract
 *  - Calls on different sessions run at the same time, from any threads.
 *  - One call at a time on one session: a second call while one is in flight returns
 *    KV_ERR_BUSY (-58) at once, without touching the line. This holds for every export taking a
 *    session except KVSessionCancel, KVSessionClose and KVSessionGetLastError.
 *  - KVSessionCancel and KVSessionClose may be called from any thread at any time, also while a
 *    call is in flight. Cancel is never lost: once it has returned, the call in flight returns
 *    KV_ERR_CANCELLED (-57) within about 50 ms (from the handshake wait, a pacing pause or a
 *    receive), and every later call on that session returns -57 at once. It reaches no other
 *    session. Only Close remains to be done on a cancelled session.
 *  - Callbacks run on the thread of the call that causes them, and never after that call has
 *    returned. A callback must not call into the same session (that call would answer -58).
 *  - The 32 exports of KorvantaSDK.h keep their own process-wide port (a default session of
 *    their own); sessions never share it, so both may be used side by side on different ports. */
#ifndef KORVANTA_SESSION_H
#define KORVANTA_SESSION_H

#include "KorvantaSDK.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One open analyser port with its own link object. Opaque: made by KVSessionOpen, freed by
 * KVSessionClose. */
typedef struct KVSession KVSession;

/* Progress of the transfer in progress: done and total are its bytes (the stored-test block:
 * total 3200, done rising to it, reported at least every 64 bytes and at the end). Called on
 * the calling thread; returning non-zero cancels the session, as KVSessionCancel. */
typedef int32_t(KV_CALL* KVProgressCallback)(void* user, int32_t done, int32_t total);

/* Every byte that crosses the line, in the order it did: direction 1 sent, 0 received; bytes
 * points at count bytes, valid during the call only; elapsedMicroseconds is the time since the
 * session was opened. Bytes that a purge discards unread are never seen. */
typedef void(KV_CALL* KVTraceCallback)(void* user, int32_t direction, const uint8_t* bytes, int32_t count,
                                        int64_t elapsedMicroseconds);

enum KVTraceDirection { KV_TRACE_RECEIVED = 0, KV_TRACE_SENT = 1 };

/* Opens a port as KVOpenComport names it ("5" for COM5, "/dev/ttyUSB0"), with the analyser's
 * line settings, and makes a session of it. session is checked: null gives -18; portName null
 * gives -18. On success *session is the new session; on failure it is set to null and nothing
 * stays open. Codes: 0, -18, -50 (cannot be opened, line settings, name too long), -51. */
KV_API int32_t KV_CALL KVSessionOpen(const KVWChar* portName, KVSession** session) KV_NOEXCEPT;

/* The words of the last KVSessionOpen that failed on the calling thread (what was done, what the
 * system said: "opening the port: the port cannot be opened: No such file or directory [...]"), as
 * KVSessionGetLastError gives them for a session; empty when none has failed on this thread.
 * Codes: 0, -18 (null text, capacity below 1). */
KV_API int32_t KV_CALL KVSessionGetOpenError(KVWChar* text, int32_t capacity) KV_NOEXCEPT;

/* Any thread: cancels the session, waits for the call in flight (if any) to return, closes the
 * port and frees the session. A null session does nothing. The session must not be used after. */
KV_API void KV_CALL KVSessionClose(KVSession* session) KV_NOEXCEPT;

/* Any thread: cancels the session's work (see the thread contract). Codes: 0, -18 (null). */
KV_API int32_t KV_CALL KVSessionCancel(KVSession* session) KV_NOEXCEPT;

/* Time limits of this session in milliseconds: the wait for the handshake byte in
 * KVSessionConnect (default 60000) and the silence after which a receive gives up (default
 * 3000). 0 restores the default; a negative value gives -18 and changes neither.
 * Codes: 0, -18, -57, -58. */
KV_API int32_t KV_CALL KVSessionSetTimeouts(KVSession* session, int32_t handshakeMilliseconds,
                                            int32_t replySilenceMilliseconds) KV_NOEXCEPT;

/* Sets (or, with a null callback, removes) the progress callback and its user pointer.
 * Codes: 0, -18 (null session), -57, -58. */
KV_API int32_t KV_CALL KVSessionSetProgress(KVSession* session, KVProgressCallback callback, void* user) KV_NOEXCEPT;

/* Sets (or, with a null callback, removes) the trace callback and its user pointer; nothing is
 * traced before one is set. Codes: 0, -18 (null session), -57, -58. */
KV_API int32_t KV_CALL KVSessionSetTrace(KVSession* session, KVTraceCallback callback, void* user) KV_NOEXCEPT;

/* The last failure on this session in words: what was being done, what the port or analyser
 * did, and the system's error text where there is one; empty when nothing has failed. Written
 * into text with its terminator, cut to capacity characters. Any thread, also during a call.
 * Codes: 0, -18 (null session or text, capacity below 1). */
KV_API int32_t KV_CALL KVSessionGetLastError(KVSession* session, KVWChar* text, int32_t capacity) KV_NOEXCEPT;

/* The device-link exports of KorvantaSDK.h, one twin each on a session: the same arguments,
 * checks, outputs and codes as the export named, run on the session's own port, plus -18 for a
 * null session, -57 when the session is cancelled (before or during the call) and -58 while
 * another call on it is in flight. KVSessionConnect waits for the handshake as long as the
 * session's handshake limit. The two downloads report progress, and leave the caller's container
 * exactly as it was whenever they do not return 0 (unlike the exports of KorvantaSDK.h, which
 * keep what was received before a late failure). */
KV_API int32_t KV_CALL KVSessionConnect(KVSession* session) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadModelVersion(KVSession* session, int32_t* modelCode, uint8_t* version1,
                                                 uint8_t* version2, uint8_t* version3, uint8_t* version4,
                                                 uint8_t* version5) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadProtocolInfo(KVSession* session, uint8_t* protocol1, uint8_t* protocol2,
                                                 uint8_t* protocol3) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadSerialNumber(KVSession* session, uint32_t* serialNumber) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadPrinterAddress(KVSession* session, KVWChar* address, int32_t capacity) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionWritePrinterAddress(KVSession* session, const KVWChar* address,
                                                    int32_t length) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadCurrentTime(KVSession* session, int64_t* time, int32_t daylightSavingFlag) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadCalibrationTime(KVSession* session, int64_t* time) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionWriteCurrentTime(KVSession* session) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionWriteCurrentTimeAs(KVSession* session, int64_t time) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadStoredTestData(KVSession* session, KVStoredTests* stored) KV_NOEXCEPT;
KV_API int32_t KV_CALL KVSessionReadTestKorvanta(KVSession* session, int32_t* reading1, int32_t* reading2,
                                                 int32_t* reading3, int32_t* reading4, int32_t* reading5,
                                                 float* decimal1, float* decimal2) KV_NOEXCEPT;
KV_API int32_t KV_CALL CXSessionReadStoredTestData(KVSession* session, CXStoredTests* stored) KV_NOEXCEPT;
KV_API int32_t KV_CALL CXSessionReadTestCaballix(KVSession* session, int32_t* reading1, int32_t* reading2,
                                                 int32_t* reading3, int32_t* reading4, int32_t* reading5,
                                                 int32_t* reading6, int32_t* reading7, float* decimal) KV_NOEXCEPT;

/* ---- Batch calculation: many tests in one call -------------------------- */

/* Results and normal ranges of count human tests, the same waterEquation for all. Test i gives
 * exactly, bit for bit on every build, what KVCalculateResults(&tests[i], &results[i], waterEquation)
 * and then, when that returns 0, KVCalculateNormals(&tests[i], &results[i], &normals[i]) give: the
 * same code runs for both. codes[i] is the results call's code when it is not 0, else the normals
 * call's. A refused test (codes[i] not 0, as -1 for an equine model or -3 for every test when
 * waterEquation is above 3) has results[i] and normals[i] all zero; the tests after it go on.
 * tests, results, normals and codes are arrays of count elements, checked when count is above 0.
 * Returns 0 once every test has its code; -18 when count is negative or an array is null while
 * count is above 0, and then nothing is written. Count 0 returns 0 and reads no pointer.
 * Reentrant, any thread; allocates nothing. */
KV_API int32_t KV_CALL KVCalculateMany(const KVTestRecord* tests, int32_t count, uint32_t waterEquation,
                                       KVResults* results, KVNormals* normals, int32_t* codes) KV_NOEXCEPT;

/* The same for count equine tests: CXCalculateResults, then, when it returns 0, CXCalculateNormals
 * (which then always returns 0), so codes[i] is 0 or the results call's code (-1: not an equine
 * model). A refused test has results[i] and normals[i] all zero, although CXCalculateResults alone
 * leaves its record untouched. Pointers, count and return codes as KVCalculateMany. */
KV_API int32_t KV_CALL CXCalculateMany(const CXTestRecord* tests, int32_t count, CXResults* results,
                                       CXNormals* normals, int32_t* codes) KV_NOEXCEPT;

/* ---- Ports: what this computer has, before any is opened -------------- */

enum KVTransport { KV_TRANSPORT_NATIVE = 0, KV_TRANSPORT_USB = 1, KV_TRANSPORT_BLUETOOTH = 2, KV_TRANSPORT_OTHER = 3 };

/* One serial port as the system describes it. Every text is UTF-16, terminated, cut to its field
 * (empty when the system does not say). */
typedef struct KVPortInfo {
  KVWChar name[64];             /* what KVSessionOpen and KVOpenComport take: "/dev/ttyUSB0", "COM5" */
  KVWChar description[128];     /* what the system calls it: "CP2102 USB to UART Bridge Controller" */
  int32_t transport;            /* KVTransport */
  int32_t usbVendorId;          /* 0 to 65535; -1 when not USB */
  int32_t usbProductId;         /* 0 to 65535; -1 when not USB */
  KVWChar usbSerialNumber[64];  /* the USB device's serial number */
  KVWChar manufacturer[64];
  KVWChar product[64];
  KVWChar bluetoothAddress[18]; /* "00:80:E1:9D:74:75"; empty when not Bluetooth */
} KVPortInfo;

/* Lists the serial ports with a device behind them (USB serial adapters, Bluetooth serial ports,
 * built-in UARTs that have one; no consoles or virtual terminals), ordered by name. Fills up to
 * capacity records of ports (each cleared first) and sets *count to how many ports there are: call
 * again with more room when it is larger. Never opens a port. count is checked, and ports when
 * capacity is above 0: null gives -18, as does a negative capacity. Codes: 0, -18. */
KV_API int32_t KV_CALL KVListPorts(KVPortInfo* ports, int32_t capacity, int32_t* count) KV_NOEXCEPT;

#ifdef __cplusplus
} /* extern "C" */
#endif

KV_STATIC_ASSERT(offsetof(KVPortInfo, description) == 128, "KVPortInfo.description");
KV_STATIC_ASSERT(offsetof(KVPortInfo, transport) == 384, "KVPortInfo.transport");
KV_STATIC_ASSERT(offsetof(KVPortInfo, usbSerialNumber) == 396, "KVPortInfo.usbSerialNumber");
KV_STATIC_ASSERT(offsetof(KVPortInfo, product) == 652, "KVPortInfo.product");
KV_STATIC_ASSERT(offsetof(KVPortInfo, bluetoothAddress) == 780, "KVPortInfo.bluetoothAddress");
KV_STATIC_ASSERT(sizeof(KVPortInfo) == 816, "KVPortInfo size");

#endif /* KORVANTA_SESSION_H */
