// The serial port component: owns one serial port, hands it the line settings, writes and
// reads blocks within time limits measured from the start of each call, and reports every
// failure as EDeviceError with a numeric code. POSIX termios and poll underneath.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

enum TBaudRate {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400, br56000,
    br57600, br115200, br128000, br256000, brCustom
};
enum TDataBits { db4, db5, db6, db7, db8 };
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits { sb1, sb1p5, sb2 };
enum TFlowControl { fcNone, fcRtsCts, fcDtrDsr, fcSoftware, fcCustom };

// Sets are bit masks: element i is bit 1 << i.
enum TCommOption : uint32_t {
    coAbortOnError = 1u << 0, coDiscardNull = 1u << 1, coDSRSensitivity = 1u << 2,
    coErrorChar = 1u << 3, coParityCheck = 1u << 4, coTXContinueOnXOff = 1u << 5,
    coLeaveDTROpen = 1u << 6
};
using TCommOptions = uint32_t;
enum TRTSSetting : uint32_t { fsCTSOut = 1u << 0, fsRTSEnabled = 1u << 1, fsRTSHandshake = 1u << 2 };
using TRTSSettings = uint32_t;
enum TDTRSetting : uint32_t { fsDSROut = 1u << 0, fsDTREnabled = 1u << 1, fsDTRHandshake = 1u << 2 };
using TDTRSettings = uint32_t;
enum TXOnXOffSetting : uint32_t { fsInX = 1u << 0, fsOutX = 1u << 1 };
using TXOnXOffSettings = uint32_t;
enum TDeviceEvent : uint32_t {
    deChar = 1u << 0, deFlag = 1u << 1, deOutEmpty = 1u << 2, deCTS = 1u << 3, deDSR = 1u << 4,
    deRLSD = 1u << 5, deBreak = 1u << 6, deError = 1u << 7, deRing = 1u << 8,
    dePrintError = 1u << 9, deIn80Full = 1u << 10, deProv1 = 1u << 11, deProv2 = 1u << 12
};
using TDeviceEvents = uint32_t;

// The bit rate of each TBaudRate below brCustom.
uint32_t BaudRateValue(TBaudRate b);

class EDeviceError : public std::runtime_error {
public:
    EDeviceError(int32_t code, const std::string& message, std::string systemReason = {})
        : std::runtime_error(message), ErrorCode(code), SystemReason(std::move(systemReason)) {}
    int32_t ErrorCode;
    // For a port that cannot be opened: the operating system's reason, kept apart so that
    // the message itself stays exactly "Cannot open device <name>".
    std::string SystemReason;
};

class TCustomComm;

class TCommDataControl {
public:
    explicit TCommDataControl(TCustomComm& c) : comm_(c) {}
    TDataBits DataBits() const;
    void setDataBits(TDataBits v);
    TParity Parity() const;
    void setParity(TParity v);
    TStopBits StopBits() const;
    void setStopBits(TStopBits v);
    void Assign(const TCommDataControl& src);

private:
    friend class TCustomComm;
    TCustomComm& comm_;
    TDataBits dataBits_ = db8;
    TParity parity_ = paNone;
    TStopBits stopBits_ = sb1;
};

class TCommBuffers {
public:
    explicit TCommBuffers(TCustomComm& c) : comm_(c) {}
    uint16_t InputSize() const { return inputSize_; }
    void setInputSize(uint32_t v);  // clamped to 128..4096
    uint16_t OutputSize() const { return outputSize_; }
    void setOutputSize(uint32_t v);
    uint16_t InputTimeout() const { return inputTimeout_; }
    void setInputTimeout(uint16_t v) { inputTimeout_ = v; }
    uint16_t OutputTimeout() const { return outputTimeout_; }
    void setOutputTimeout(uint16_t v) { outputTimeout_ = v; }
    void Assign(const TCommBuffers& src);

private:
    TCustomComm& comm_;
    uint16_t inputSize_ = 2048, outputSize_ = 2048, inputTimeout_ = 500, outputTimeout_ = 500;
};

class TCommEventChars {
public:
    explicit TCommEventChars(TCustomComm& c) : comm_(c) {}
    char XonChar() const { return xon_; }
    void setXonChar(char v) { set(xon_, v); }
    char XoffChar() const { return xoff_; }
    void setXoffChar(char v) { set(xoff_, v); }
    char EofChar() const { return eof_; }
    void setEofChar(char v) { set(eof_, v); }
    char ErrorChar() const { return error_; }
    void setErrorChar(char v) { set(error_, v); }
    char EventChar() const { return event_; }
    void setEventChar(char v) { set(event_, v); }
    void Assign(const TCommEventChars& src);

private:
    void set(char& field, char v);
    TCustomComm& comm_;
    char xon_ = 0x11, xoff_ = 0x13, eof_ = 0, error_ = 0, event_ = 0x0A;
};

class TCommTimeoutsEx {
public:
    explicit TCommTimeoutsEx(TCustomComm& c) : comm_(c) {}
    uint32_t ReadInterval() const { return v_[0]; }
    void setReadInterval(uint32_t v) { set(0, v); }
    uint32_t ReadMultiplier() const { return v_[1]; }
    void setReadMultiplier(uint32_t v) { set(1, v); }
    uint32_t ReadConstant() const { return v_[2]; }
    void setReadConstant(uint32_t v) { set(2, v); }
    uint32_t WriteMultiplier() const { return v_[3]; }
    void setWriteMultiplier(uint32_t v) { set(3, v); }
    uint32_t WriteConstant() const { return v_[4]; }
    void setWriteConstant(uint32_t v) { set(4, v); }
    void Assign(const TCommTimeoutsEx& src);

private:
    void set(int i, uint32_t v);
    TCustomComm& comm_;
    uint32_t v_[5] = {1, 0, 1, 0, 1};
};

// Waits for line events while the port is open. It never blocks the component: the stop
// request wakes it at once, and with Synchronize the events wait for the main thread's next
// call instead of the thread waiting for the main thread.
class TCommEventThread {
public:
    TCommEventThread(TCustomComm& c, int fd);
    ~TCommEventThread();  // signals stop and joins
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

private:
    void Execute();
    TCustomComm& comm_;
    int fd_;
    int stopFd_;
    std::thread thread_;
};

class TCustomComm {
public:
    using TNotifyEvent = std::function<void(TCustomComm& sender)>;
    using TCommEvent = std::function<void(TCustomComm& sender, TDeviceEvents events)>;
    using TDataEvent = std::function<void(TCustomComm& sender, uint32_t received)>;

    TCustomComm();
    virtual ~TCustomComm();
    TCustomComm(const TCustomComm&) = delete;
    TCustomComm& operator=(const TCustomComm&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual uint32_t LockState() const;  // 1: sending blocked, 2: reading blocked

    uint32_t SendData(const void* buffer, uint32_t count);
    uint32_t SendData(const void* buffer, uint32_t count, uint32_t timeout);
    uint32_t ReadData(void* buffer, uint32_t count, uint32_t timeout);
    // ReadData that also ends as soon as `enough` (told of each block as it arrives) says so.
    uint32_t ReadDataUntil(void* buffer, uint32_t count, uint32_t timeout,
                           const std::function<bool(const uint8_t* block, uint32_t n)>& enough);
    uint32_t InQueCount() const;
    uint32_t OutQueCount() const;

    const std::string& DeviceName() const { return deviceName_; }
    void setDeviceName(const std::string& v);  // ignored while open
    TBaudRate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudRate v);
    uint32_t BaudValue() const { return baudValue_; }
    void setBaudValue(uint32_t v);  // only while BaudRate is brCustom
    TFlowControl FlowControl() const { return flowControl_; }
    void setFlowControl(TFlowControl v);
    TCommOptions Options() const { return options_; }
    void setOptions(TCommOptions v);
    // The line settings follow FlowControl; they are set by hand only with fcCustom.
    TRTSSettings RTSSettings() const { return rts_; }
    void setRTSSettings(TRTSSettings v);
    TDTRSettings DTRSettings() const { return dtr_; }
    void setDTRSettings(TDTRSettings v);
    TXOnXOffSettings XOnXOffSettings() const { return xonxoff_; }
    void setXOnXOffSettings(TXOnXOffSettings v);
    TDeviceEvents MonitorEvents = deChar | deFlag | deOutEmpty;
    bool Synchronize = true;

    TCommDataControl DataControl;
    TCommBuffers Buffers;
    TCommEventChars EventChars;
    TCommTimeoutsEx Timeouts;

    TCommEvent OnCommEvent;
    TDataEvent OnData;
    TNotifyEvent OnRead;
    TNotifyEvent OnSend;

    // The device path a port name stands for: "COM n" is /dev/ttyS<n-1> unless the environment
    // variable TARVELA_COM<n> names another path; an absolute path stands for itself.
    // Empty when the name stands for no device (COM0, anything else).
    static std::string ResolveDeviceName(const std::string& name);

    // Hands line events that the event thread saw to HandleCommEvent on the calling thread
    // (the component also does it on each transfer call). Only used with Synchronize.
    void DeliverPendingEvents();

    // Number of ReadData / ReadDataUntil calls so far (for support and tests).
    uint64_t ReadCalls() const { return readCalls_; }

protected:
    void UpdateDCB();
    void UpdateBuffers();
    void UpdateTimeouts();
    void HandleCommEvent(TDeviceEvents mask);
    virtual void DoCommEvent(TDeviceEvents mask);
    virtual void DoData(uint32_t received);

private:
    friend class TCommDataControl;
    friend class TCommBuffers;
    friend class TCommEventChars;
    friend class TCommTimeoutsEx;
    friend class TCommEventThread;

    void recomputeLineSettings();
    void changed();  // a setting changed: apply it at once while open
    void EventFromThread(TDeviceEvents mask);
    [[noreturn]] void raise(int32_t code) const;

    int fd_ = -1;
    std::string deviceName_ = "COM2";
    TBaudRate baudRate_ = br9600;
    uint32_t baudValue_ = 9600;
    TFlowControl flowControl_ = fcNone;
    TCommOptions options_ = 0;
    TRTSSettings rts_ = 0;
    TDTRSettings dtr_ = 0;
    TXOnXOffSettings xonxoff_ = 0;
    uint32_t busy_ = 0;
    bool destroying_ = false;
    uint64_t readCalls_ = 0;
    std::atomic<uint32_t> pendingEvents_{0};
    std::unique_ptr<TCommEventThread> thread_;
};

class TXComm : public TCustomComm {};
