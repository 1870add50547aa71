#include "XComDrv.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

int64_t TimerMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string osError(const char* text, int err) {
    return std::string(text) + " (OS error " + std::to_string(err) + ": " + std::strerror(err) + ")";
}

const char* messageOf(int32_t code) {
    switch (code) {
        case 1: return "Device not opened.";
        case 2: return "Device is allready opened.";
        case 3: return "Unable to update device control block.";
        case 4: return "Device locked. Cannot perform send operations.";
        case 5: return "Device locked. Cannot perform read operations.";
        case 6: return "Unable to update IO buffers.";
        case 7: return "Unable to update Timeouts.";
        case 10: return "Unable to read from port.";
        case 11: return "Unable to write to port.";
    }
    return "";
}

bool speedOf(uint32_t baud, speed_t& s) {
    static const std::pair<uint32_t, speed_t> table[] = {
        {110, B110},     {300, B300},     {600, B600},       {1200, B1200},     {2400, B2400},
        {4800, B4800},   {9600, B9600},   {19200, B19200},   {38400, B38400},   {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (auto [b, sp] : table)
        if (b == baud) return s = sp, true;
    return false;
}

// Sets or clears a modem line. A pty has no modem lines: there the call fails, harmlessly.
void modemLine(int fd, int line, bool on) {
    ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// Bytes waiting in a queue, or -1 with errno set.
int queueCount(int fd, unsigned long request) {
    int n = 0;
    return ioctl(fd, request, &n) == 0 ? n : -1;
}

}  // namespace

uint32_t BaudRateValue(TBaudRate b) {
    static const uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                     19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return b < brCustom ? rates[b] : 0;
}

// ---- setting groups --------------------------------------------------------------------------

TDataBits TCommDataControl::DataBits() const {
    termios t{};
    if (comm_.IsOpen() && tcgetattr(comm_.fd_, &t) == 0) {
        switch (t.c_cflag & CSIZE) {
            case CS5: return db5;
            case CS6: return db6;
            case CS7: return db7;
            default: return db8;
        }
    }
    return dataBits_;
}

TParity TCommDataControl::Parity() const {
    termios t{};
    if (comm_.IsOpen() && tcgetattr(comm_.fd_, &t) == 0) {
        if (!(t.c_cflag & PARENB)) return paNone;
        bool odd = t.c_cflag & PARODD;
        if (t.c_cflag & CMSPAR) return odd ? paMark : paSpace;
        return odd ? paOdd : paEven;
    }
    return parity_;
}

TStopBits TCommDataControl::StopBits() const {
    termios t{};
    if (comm_.IsOpen() && tcgetattr(comm_.fd_, &t) == 0) {
        // termios knows one or two stop bits; 1.5 is what two means at five data bits.
        if (!(t.c_cflag & CSTOPB)) return sb1;
        return stopBits_ == sb1p5 ? sb1p5 : sb2;
    }
    return stopBits_;
}

void TCommDataControl::setDataBits(TDataBits v) {
    dataBits_ = v;
    comm_.changed();
}

void TCommDataControl::setParity(TParity v) {
    parity_ = v;
    comm_.changed();
}

void TCommDataControl::setStopBits(TStopBits v) {
    stopBits_ = v;
    comm_.changed();
}

void TCommDataControl::Assign(const TCommDataControl& src) {
    dataBits_ = src.DataBits();
    parity_ = src.Parity();
    stopBits_ = src.StopBits();
    comm_.changed();
}

void TCommBuffers::setInputSize(uint32_t v) {
    inputSize_ = static_cast<uint16_t>(std::clamp<uint32_t>(v, 128, 4096));
    if (comm_.IsOpen()) comm_.UpdateBuffers();
}

void TCommBuffers::setOutputSize(uint32_t v) {
    outputSize_ = static_cast<uint16_t>(std::clamp<uint32_t>(v, 128, 4096));
    if (comm_.IsOpen()) comm_.UpdateBuffers();
}

void TCommBuffers::Assign(const TCommBuffers& src) {
    inputSize_ = src.InputSize();
    outputSize_ = src.OutputSize();
    inputTimeout_ = src.InputTimeout();
    outputTimeout_ = src.OutputTimeout();
    if (comm_.IsOpen()) comm_.UpdateBuffers();
}

void TCommEventChars::set(char& field, char v) {
    field = v;
    comm_.changed();
}

void TCommEventChars::Assign(const TCommEventChars& src) {
    xon_ = src.xon_;
    xoff_ = src.xoff_;
    eof_ = src.eof_;
    error_ = src.error_;
    event_ = src.event_;
    comm_.changed();
}

void TCommTimeoutsEx::set(int i, uint32_t v) {
    v_[i] = v;
    if (comm_.IsOpen()) comm_.UpdateTimeouts();
}

void TCommTimeoutsEx::Assign(const TCommTimeoutsEx& src) {
    std::copy(std::begin(src.v_), std::end(src.v_), v_);
    if (comm_.IsOpen()) comm_.UpdateTimeouts();
}

// ---- event thread ----------------------------------------------------------------------------

TCommEventThread::TCommEventThread(TCustomComm& c, int fd)
    : comm_(c), fd_(fd), stopFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (stopFd_ < 0) throw EDeviceError(65535, "Cannot open device " + c.DeviceName(),
                                        std::strerror(errno));
    thread_ = std::thread([this] { Execute(); });
}

TCommEventThread::~TCommEventThread() {
    uint64_t one = 1;
    [[maybe_unused]] auto n = write(stopFd_, &one, sizeof one);
    thread_.join();
    close(stopFd_);
}

void TCommEventThread::Execute() {
    int reported = 0;     // bytes waiting when we last told of them
    bool lineGone = false;  // after a hang-up only the stop request is waited for
    for (;;) {
        int waiting = queueCount(fd_, FIONREAD);
        // Bytes already told of and not yet read raise no new event: wait for the stop
        // request a little, then look again, instead of spinning on a readable port.
        bool watchPort = !lineGone && !(waiting > 0 && waiting == reported);
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLIN | POLLPRI, 0}};
        int r = poll(fds, watchPort ? 2 : 1, watchPort ? -1 : 20);
        if (r < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        if (!watchPort) {
            if (queueCount(fd_, FIONREAD) == 0) reported = 0;
            continue;
        }
        TDeviceEvents mask = 0;
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            mask |= deError;
            lineGone = true;
        }
        if (fds[1].revents & POLLIN) {
            waiting = queueCount(fd_, FIONREAD);
            if (waiting > 0 && waiting != reported) mask |= deChar;
            reported = std::max(waiting, 0);
        }
        if (fds[1].revents & POLLPRI) mask |= deBreak;
        if (mask) comm_.EventFromThread(mask);
    }
}

// ---- component -------------------------------------------------------------------------------

TCustomComm::TCustomComm() : DataControl(*this), Buffers(*this), EventChars(*this), Timeouts(*this) {}

TCustomComm::~TCustomComm() {
    destroying_ = true;
    if (IsOpen()) {
        thread_.reset();
        close(fd_);
        fd_ = -1;
    }
}

void TCustomComm::raise(int32_t code) const { throw EDeviceError(code, messageOf(code)); }

std::string TCustomComm::ResolveDeviceName(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (name.size() < 4 || strncasecmp(name.c_str(), "COM", 3) != 0) return {};
    std::string digits = name.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 3) return {};
    int n = std::stoi(digits);
    if (n < 1) return {};
    if (const char* mapped = std::getenv(("TARVELA_COM" + std::to_string(n)).c_str()); mapped && *mapped)
        return mapped;
    return "/dev/ttyS" + std::to_string(n - 1);
}

void TCustomComm::OpenDevice() {
    if (IsOpen()) raise(2);
    busy_ = 0;
    const std::string cannot = "Cannot open device " + deviceName_;
    std::string path = ResolveDeviceName(deviceName_);
    if (path.empty()) throw EDeviceError(65535, cannot, "No such port");
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        std::string reason = path + ": " + std::strerror(err);
        if (err == EACCES)
            reason += " (the user must be a member of the group that owns the port, usually dialout)";
        throw EDeviceError(65535, cannot, reason);
    }
    // No sharing: the kernel refuses further opens of the tty (TIOCEXCL), and the advisory
    // lock tells other programs, root ones included, that the line is taken.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        throw EDeviceError(65535, cannot, path + ": in use by another program");
    }
    ioctl(fd, TIOCEXCL);
    fd_ = fd;
    try {
        thread_ = std::make_unique<TCommEventThread>(*this, fd_);
        UpdateDCB();
        UpdateBuffers();
        UpdateTimeouts();
    } catch (...) {
        thread_.reset();
        close(fd_);
        fd_ = -1;
        throw;
    }
}

void TCustomComm::CloseDevice() {
    if (!IsOpen()) raise(1);
    thread_.reset();
    close(fd_);
    fd_ = -1;
}

uint32_t TCustomComm::LockState() const { return IsOpen() ? busy_ : 3; }

void TCustomComm::setDeviceName(const std::string& v) {
    if (!IsOpen()) deviceName_ = v;
}

void TCustomComm::setBaudRate(TBaudRate v) {
    baudRate_ = v;
    if (v != brCustom) baudValue_ = BaudRateValue(v);
    changed();
}

void TCustomComm::setBaudValue(uint32_t v) {
    if (baudRate_ != brCustom) return;
    baudValue_ = v;
    changed();
}

void TCustomComm::setFlowControl(TFlowControl v) {
    flowControl_ = v;
    if (v == fcCustom) return;
    recomputeLineSettings();
    changed();
}

void TCustomComm::setOptions(TCommOptions v) {
    options_ = v;
    if (!IsOpen() && flowControl_ != fcCustom) recomputeLineSettings();
    changed();
}

void TCustomComm::setRTSSettings(TRTSSettings v) {
    if (flowControl_ != fcCustom) return;
    rts_ = v;
    changed();
}

void TCustomComm::setDTRSettings(TDTRSettings v) {
    if (flowControl_ != fcCustom) return;
    dtr_ = v;
    changed();
}

void TCustomComm::setXOnXOffSettings(TXOnXOffSettings v) {
    if (flowControl_ != fcCustom) return;
    xonxoff_ = v;
    changed();
}

void TCustomComm::recomputeLineSettings() {
    switch (flowControl_) {
        case fcNone: rts_ = 0, dtr_ = 0, xonxoff_ = 0; break;
        case fcRtsCts: rts_ = fsCTSOut | fsRTSHandshake, dtr_ = fsDTREnabled, xonxoff_ = 0; break;
        case fcDtrDsr: rts_ = fsRTSEnabled, dtr_ = fsDSROut | fsDTREnabled, xonxoff_ = 0; break;
        case fcSoftware: rts_ = 0, dtr_ = fsDTREnabled, xonxoff_ = fsInX | fsOutX; break;
        case fcCustom: return;
    }
    if (options_ & coLeaveDTROpen) dtr_ = (dtr_ | fsDTREnabled) & ~fsDTRHandshake;
}

void TCustomComm::changed() {
    if (IsOpen()) UpdateDCB();
}

void TCustomComm::UpdateDCB() {
    termios t{};
    speed_t speed;
    if (tcgetattr(fd_, &t) != 0 || !speedOf(baudValue_, speed) || DataControl.dataBits_ == db4)
        raise(3);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[DataControl.dataBits_];
    switch (DataControl.parity_) {
        case paNone: break;
        case paOdd: t.c_cflag |= PARENB | PARODD; break;
        case paEven: t.c_cflag |= PARENB; break;
        case paMark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case paSpace: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (DataControl.stopBits_ != sb1) t.c_cflag |= CSTOPB;
    if (rts_ & (fsCTSOut | fsRTSHandshake)) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | INPCK);
    if (xonxoff_ & fsOutX) t.c_iflag |= IXON;
    if (xonxoff_ & fsInX) t.c_iflag |= IXOFF;
    if (options_ & coParityCheck) t.c_iflag |= INPCK;
    t.c_cc[VSTART] = static_cast<cc_t>(EventChars.XonChar());
    t.c_cc[VSTOP] = static_cast<cc_t>(EventChars.XoffChar());
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) raise(3);
    modemLine(fd_, TIOCM_DTR, (dtr_ & fsDTREnabled) || (options_ & coLeaveDTROpen));
    modemLine(fd_, TIOCM_RTS, rts_ & fsRTSEnabled);
}

void TCustomComm::UpdateBuffers() {
    // The queues are purged; their sizes are the kernel's own and cannot be set on Linux,
    // so the configured sizes only bound what SendData puts into the output queue.
    tcflush(fd_, TCIOFLUSH);
}

void TCustomComm::UpdateTimeouts() {
    // Nothing to hand to the driver: every transfer here waits with poll against its own
    // limit measured from the start of the call.
}

uint32_t TCustomComm::InQueCount() const {
    if (!IsOpen()) raise(1);
    return static_cast<uint32_t>(std::max(queueCount(fd_, FIONREAD), 0));
}

uint32_t TCustomComm::OutQueCount() const {
    if (!IsOpen()) raise(1);
    return static_cast<uint32_t>(std::max(queueCount(fd_, TIOCOUTQ), 0));
}

uint32_t TCustomComm::SendData(const void* buffer, uint32_t count) {
    return SendData(buffer, count, Buffers.OutputTimeout());
}

uint32_t TCustomComm::SendData(const void* buffer, uint32_t count, uint32_t timeout) {
    if (!IsOpen()) raise(1);
    if (LockState() & 1) raise(4);
    if (count == 0) return 0;
    DeliverPendingEvents();
    const auto* p = static_cast<const uint8_t*>(buffer);
    uint32_t sent = 0;
    const int64_t start = TimerMs();
    while (sent < count) {
        int64_t free = int64_t{Buffers.OutputSize()} - OutQueCount();
        ssize_t n = 0;
        if (free > 0) {
            n = write(fd_, p + sent, std::min<int64_t>(free, count - sent));
            if (n < 0) {
                if (errno != EAGAIN && errno != EINTR) throw EDeviceError(11, osError(messageOf(11), errno));
                n = 0;
            }
            HandleCommEvent(deOutEmpty);
        }
        if (n > 0) {
            sent += static_cast<uint32_t>(n);
            if (OnSend) {
                busy_ |= 1;
                try {
                    OnSend(*this);
                } catch (...) {
                    busy_ &= ~1u;
                    throw;
                }
                busy_ &= ~1u;
            }
            continue;
        }
        int64_t elapsed = TimerMs() - start;
        if (elapsed > timeout) break;
        pollfd f{fd_, POLLOUT, 0};
        poll(&f, 1, static_cast<int>(std::min<int64_t>(timeout - elapsed + 1, 10)));
    }
    return sent;
}

uint32_t TCustomComm::ReadData(void* buffer, uint32_t count, uint32_t timeout) {
    return ReadDataUntil(buffer, count, timeout, nullptr);
}

uint32_t TCustomComm::ReadDataUntil(
    void* buffer, uint32_t count, uint32_t timeout,
    const std::function<bool(const uint8_t* block, uint32_t n)>& enough) {
    if (!IsOpen()) raise(1);
    if (LockState() & 2) raise(5);
    if (count == 0) return 0;
    ++readCalls_;
    DeliverPendingEvents();
    auto* p = static_cast<uint8_t*>(buffer);
    uint32_t got = 0;
    const int64_t start = TimerMs();
    while (got < count) {
        int waiting = queueCount(fd_, FIONREAD);
        if (waiting < 0) throw EDeviceError(10, osError(messageOf(10), errno));
        if (waiting > 0) {
            ssize_t n = read(fd_, p + got, std::min<uint32_t>(waiting, count - got));
            if (n < 0) {
                if (errno != EAGAIN && errno != EINTR) throw EDeviceError(10, osError(messageOf(10), errno));
                n = 0;
            }
            if (n > 0) {
                got += static_cast<uint32_t>(n);
                if (OnRead) {
                    busy_ |= 2;
                    try {
                        OnRead(*this);
                    } catch (...) {
                        busy_ &= ~2u;
                        throw;
                    }
                    busy_ &= ~2u;
                }
                if (enough && enough(p + got - n, static_cast<uint32_t>(n))) break;
            }
            continue;
        }
        int64_t elapsed = TimerMs() - start;
        if (elapsed > timeout) break;
        // Sleep until bytes come or the limit passes, rather than spinning on the queue.
        pollfd f{fd_, POLLIN, 0};
        int r = poll(&f, 1, static_cast<int>(timeout - elapsed + 1));
        if (r > 0 && (f.revents & (POLLHUP | POLLERR | POLLNVAL)) && queueCount(fd_, FIONREAD) == 0) {
            // The far end is gone (a pty closed, an adapter unplugged): say why.
            uint8_t b;
            ssize_t n = read(fd_, &b, 1);
            if (n == 1) {
                p[got++] = b;
                continue;
            }
            throw EDeviceError(10, osError(messageOf(10), n < 0 ? errno : EIO));
        }
    }
    return got;
}

void TCustomComm::EventFromThread(TDeviceEvents mask) {
    if (Synchronize)
        pendingEvents_.fetch_or(mask);
    else
        HandleCommEvent(mask);
}

void TCustomComm::DeliverPendingEvents() {
    if (TDeviceEvents mask = pendingEvents_.exchange(0)) HandleCommEvent(mask);
}

void TCustomComm::HandleCommEvent(TDeviceEvents mask) {
    if (!IsOpen() || destroying_ || mask == 0) return;
    DoCommEvent(mask);
}

void TCustomComm::DoCommEvent(TDeviceEvents mask) {
    if (mask & (deChar | deFlag)) DoData(InQueCount());
    if (OnCommEvent && (mask & MonitorEvents)) OnCommEvent(*this, mask & MonitorEvents);
}

void TCustomComm::DoData(uint32_t received) {
    if (OnData) OnData(*this, received);
}
