// The serial component and the device transport over real pty pairs, with a scripted device
// on the far end.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "PtyPeer.h"
#include "TestSupport.h"
#include "U_Podesavanje.h"

namespace {

// What a decoder's database write throws when it fails.
std::runtime_error db_like_error() { return std::runtime_error("lock conflict on no wait transaction"); }

int codeOf(const std::function<void()>& f, std::string* message = nullptr,
           std::string* reason = nullptr) {
    try {
        f();
    } catch (const EDeviceError& e) {
        if (message) *message = e.what();
        if (reason) *reason = e.SystemReason;
        return e.ErrorCode;
    }
    return 0;
}

// ---- serial component ------------------------------------------------------------------------

TEST(XComm, ErrorsCarryTheirCodesAndTexts) {
    PtyPair pty;
    TXComm c;
    uint8_t buf[8];
    std::string msg;
    EXPECT_EQ(c.LockState(), 3u) << "both directions blocked while closed";
    EXPECT_EQ(codeOf([&] { c.CloseDevice(); }, &msg), 1);
    EXPECT_EQ(msg, "Device not opened.");
    EXPECT_EQ(codeOf([&] { c.SendData(buf, 1); }), 1);
    EXPECT_EQ(codeOf([&] { c.ReadData(buf, 1, 10); }), 1);
    EXPECT_EQ(codeOf([&] { c.InQueCount(); }), 1);
    EXPECT_EQ(codeOf([&] { c.OutQueCount(); }), 1);

    for (const char* name : {"COM0", "COM", "LPT1", "COMX"}) {
        c.setDeviceName(name);
        EXPECT_EQ(codeOf([&] { c.OpenDevice(); }, &msg), 65535) << name;
        EXPECT_EQ(msg, std::string("Cannot open device ") + name);
        EXPECT_FALSE(c.IsOpen());
    }
    std::string reason;
    c.setDeviceName("/dev/no-such-port");
    EXPECT_EQ(codeOf([&] { c.OpenDevice(); }, &msg, &reason), 65535);
    EXPECT_EQ(msg, "Cannot open device /dev/no-such-port") << "the message stays as it is";
    EXPECT_NE(reason.find("No such file or directory"), std::string::npos) << reason;

    c.setDeviceName(pty.slavePath());
    c.OpenDevice();
    EXPECT_EQ(c.LockState(), 0u);
    EXPECT_EQ(codeOf([&] { c.OpenDevice(); }, &msg), 2);
    EXPECT_EQ(msg, "Device is allready opened.");
    EXPECT_TRUE(c.IsOpen());
}

TEST(XComm, PortNamesResolveToDevicesAndCanBePointedElsewhere) {
    unsetenv("TARVELA_COM3");
    EXPECT_EQ(TCustomComm::ResolveDeviceName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(TCustomComm::ResolveDeviceName("COM9"), "/dev/ttyS8");
    EXPECT_EQ(TCustomComm::ResolveDeviceName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(TCustomComm::ResolveDeviceName("COM0"), "");

    PtyPair pty;
    setenv("TARVELA_COM3", pty.slavePath().c_str(), 1);
    TXComm c;
    c.setDeviceName("COM3");
    c.OpenDevice();
    EXPECT_TRUE(c.IsOpen());
    unsetenv("TARVELA_COM3");
}

TEST(XComm, APortIsNeverShared) {
    PtyPair pty;
    TXComm first, second;
    first.setDeviceName(pty.slavePath());
    second.setDeviceName(pty.slavePath());
    first.OpenDevice();
    std::string msg, reason;
    EXPECT_EQ(codeOf([&] { second.OpenDevice(); }, &msg, &reason), 65535);
    EXPECT_EQ(msg, "Cannot open device " + pty.slavePath());
    EXPECT_NE(reason.find("in use"), std::string::npos) << reason;
    first.CloseDevice();
    second.OpenDevice();
    EXPECT_TRUE(second.IsOpen());
}

TEST(XComm, SettingsReachTheLineAtOnce) {
    PtyPair pty;
    TXComm c;
    c.setDeviceName(pty.slavePath());
    c.setBaudRate(br9600);
    c.OpenDevice();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    // 8 data bits, no parity, 1 stop bit, no flow control, raw bytes.
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));

    c.setBaudRate(br57600);
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));
    EXPECT_EQ(c.BaudValue(), 57600u);
    // (A pty takes no parity, so only the stop bits are tried here.)
    c.DataControl.setStopBits(sb2);
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(c.DataControl.StopBits(), sb2) << "read back from the driver";
    EXPECT_EQ(c.DataControl.DataBits(), db8);

    c.setDeviceName("COM5");
    EXPECT_EQ(c.DeviceName(), pty.slavePath()) << "a name given while open is ignored";
    c.CloseDevice();
    c.OpenDevice();
    EXPECT_TRUE(c.IsOpen()) << "reopened under the old name";
}

TEST(XComm, BufferSizesAreClampedAndFlowControlSetsTheLineSettings) {
    TXComm c;
    c.Buffers.setInputSize(100);
    c.Buffers.setOutputSize(60000);
    EXPECT_EQ(c.Buffers.InputSize(), 128);
    EXPECT_EQ(c.Buffers.OutputSize(), 4096);

    c.setFlowControl(fcRtsCts);
    EXPECT_EQ(c.RTSSettings(), fsCTSOut | fsRTSHandshake);
    EXPECT_EQ(c.DTRSettings(), uint32_t(fsDTREnabled));
    c.setRTSSettings(fsRTSEnabled);
    EXPECT_EQ(c.RTSSettings(), fsCTSOut | fsRTSHandshake) << "only settable with fcCustom";
    c.setFlowControl(fcCustom);
    c.setRTSSettings(fsRTSEnabled);
    EXPECT_EQ(c.RTSSettings(), uint32_t(fsRTSEnabled));
    c.setOptions(coLeaveDTROpen);
    c.setFlowControl(fcNone);
    EXPECT_EQ(c.RTSSettings(), 0u);
    EXPECT_EQ(c.DTRSettings(), uint32_t(fsDTREnabled)) << "coLeaveDTROpen keeps DTR on";

    c.setBaudValue(1234);
    EXPECT_EQ(c.BaudValue(), 9600u) << "BaudValue only follows brCustom";
    c.setBaudRate(brCustom);
    c.setBaudValue(1234);
    EXPECT_EQ(c.BaudValue(), 1234u);
}

TEST(XComm, HandlersCannotTransferInTheirOwnDirection) {
    PtyPair pty;
    TXComm c;
    c.setDeviceName(pty.slavePath());
    c.OpenDevice();
    int sendCode = 0, readCode = 0;
    c.OnSend = [&](TCustomComm& s) {
        uint8_t b = 0;
        EXPECT_EQ(s.LockState(), 1u);
        sendCode = codeOf([&] { s.SendData(&b, 1); });
    };
    c.OnRead = [&](TCustomComm& s) {
        uint8_t b;
        EXPECT_EQ(s.LockState(), 2u);
        readCode = codeOf([&] { s.ReadData(&b, 1, 10); });
    };
    uint8_t out[3] = {1, 2, 3};
    EXPECT_EQ(c.SendData(out, 3), 3u);
    ScriptedPeer peer(pty, {{0, "xyz"}}, 3);
    uint8_t in[3];
    EXPECT_EQ(c.ReadData(in, 3, 2000), 3u);
    EXPECT_EQ(sendCode, 4);
    EXPECT_EQ(readCode, 5);
    EXPECT_EQ(c.LockState(), 0u);
    peer.join();
    EXPECT_EQ(peer.request(), "\x01\x02\x03");
}

TEST(XComm, ReadsAreBoundedByTheirLimitAndByCount) {
    PtyPair pty;
    TXComm c;
    c.setDeviceName(pty.slavePath());
    c.OpenDevice();
    uint8_t buf[500];
    EXPECT_EQ(c.ReadData(buf, 500, 20), 0u) << "a quiet line gives nothing";
    ScriptedPeer peer(pty, {{0, "0123456789"}}, 0);
    peer.join();
    EXPECT_EQ(c.ReadData(buf, 4, 1000), 4u) << "stops once Count bytes came";
    EXPECT_EQ(c.InQueCount(), 6u);
    EXPECT_EQ(c.ReadData(buf, 500, 20), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "456789");
}

TEST(XComm, AWriteToALineThatTakesNothingMoreEndsShort) {
    PtyPair pty;
    TXComm c;
    c.setDeviceName(pty.slavePath());
    c.OpenDevice();
    std::vector<uint8_t> big(1 << 20, 0x55);  // far more than the pty holds; nobody reads
    uint32_t n = c.SendData(big.data(), static_cast<uint32_t>(big.size()), 30);
    EXPECT_GT(n, 0u);
    EXPECT_LT(n, big.size());
}

TEST(XComm, TheFarEndVanishingIsAReadError) {
    PtyPair pty;
    TXComm c;
    c.setDeviceName(pty.slavePath());
    c.OpenDevice();
    pty.closeMaster();
    uint8_t buf[16];
    std::string msg;
    EXPECT_EQ(codeOf([&] { c.ReadData(buf, 16, 1000); }, &msg), 10);
    EXPECT_EQ(msg, "Unable to read from port. (OS error 5: Input/output error)");
    EXPECT_TRUE(c.IsOpen()) << "a read that raises leaves the port open";
    c.CloseDevice();
}

TEST(XComm, LineEventsReachTheHandlers) {
    PtyPair pty;
    TXComm c;
    c.setDeviceName(pty.slavePath());
    std::atomic<uint32_t> seen{0};
    c.OnData = [&](TCustomComm&, uint32_t received) { seen = received; };
    c.Synchronize = false;  // straight from the event thread
    c.OpenDevice();
    { ScriptedPeer peer(pty, {{0, "abc"}}, 0); }
    for (int i = 0; i < 200 && seen == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(seen.load(), 3u);
    c.CloseDevice();  // never blocked by the waiting thread

    seen = 0;
    c.Synchronize = true;  // then they wait for the component's own thread
    c.OpenDevice();
    { ScriptedPeer peer(pty, {{0, "de"}}, 0); }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(seen.load(), 0u) << "not delivered on the event thread";
    c.DeliverPendingEvents();
    EXPECT_EQ(seen.load(), 2u);
}

// ---- transport -------------------------------------------------------------------------------

// An Orbella-shaped answer: AA 01 11, the length value at position 8, n + 12 bytes, 0D last.
std::string orbellaFrame(int n, int command = 0x73) {
    std::string f = bytesOf({0xAA, 0x01, 0x11, 0, 0, 0, 0, command, n});
    f += std::string(static_cast<size_t>(n) + 2, '\x41');
    return f + '\x0D';
}

std::string markonFrame(size_t len) {
    std::string f = bytesOf({0x01});
    while (f.size() < len - 1) f += static_cast<char>('a' + f.size() % 26);
    return f + '\x03';
}

class Transport : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        link.StrictTiming = GetParam();
        link.ReadTimeout = 20;
        link.XComm1.setDeviceName(pty.slavePath());
        link.XComm1.setBaudRate(br57600);
        StatusText.clear();
        protocol.checkFrame = [this] {
            ++checks;
            return frameOk;
        };
        protocol.dispatch = [this](TF_Podesavanje::Buffer b) {
            dispatched = true;
            answer = b;
        };
    }

    uint64_t readsDuring(const std::function<void()>& f) {
        uint64_t before = link.XComm1.ReadCalls();
        f();
        return link.XComm1.ReadCalls() - before;
    }

    uint64_t orbella(std::vector<PeerStep> steps) {
        ScriptedPeer peer(pty, std::move(steps), request.size());
        return readsDuring([&] {
            link.Send_Fn2(reinterpret_cast<const uint8_t*>(request.data()),
                          static_cast<int32_t>(request.size()), true, protocol);
        });
    }

    uint64_t markon(std::vector<PeerStep> steps) {
        ScriptedPeer peer(pty, std::move(steps), request.size());
        return readsDuring([&] {
            link.Send_Fn3(reinterpret_cast<const uint8_t*>(request.data()),
                          static_cast<int32_t>(request.size()), true, protocol);
        });
    }

    std::string answerBytes(size_t n) const { return std::string(answer.begin(), answer.begin() + n); }

    PtyPair pty;
    TF_Podesavanje link;
    TF_Podesavanje::Protocol protocol;
    std::string request = bytesOf({0xAA, 0x01, 0x11, 0, 0, 0, 1, 0x73, 1, 5, 0, 0, 0x0D});
    bool frameOk = true;
    int checks = 0;
    bool dispatched = false;
    TF_Podesavanje::Buffer answer{};
};

INSTANTIATE_TEST_SUITE_P(FastAndStrict, Transport, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Strict" : "Fast"; });

TEST_P(Transport, AnOrbellaAnswerAfterNoiseIsAssembled) {
    std::string frame = orbellaFrame(4);
    EXPECT_EQ(orbella({{0, bytesOf({0x00, 0x55, 0x0D}) + frame}}), 1u);
    EXPECT_EQ(LastCommand, 0x73);
    EXPECT_EQ(checks, 1);
    ASSERT_TRUE(dispatched);
    EXPECT_EQ(answerBytes(frame.size()), frame);
    EXPECT_EQ(answer[frame.size()], 0) << "nothing after the frame";
    EXPECT_EQ(StatusText, "Analiziram prijem od kase");
    EXPECT_FALSE(link.XComm1.IsOpen()) << "closed after the exchange";
}

TEST_P(Transport, ABrokenStartSequenceEndsTheExchange) {
    EXPECT_EQ(orbella({{0, bytesOf({0xAA, 0xAA, 0x01, 0x11}) + orbellaFrame(1)}}), 1u);
    ASSERT_TRUE(dispatched);
    EXPECT_EQ(answerBytes(3), bytesOf({0, 0, 0})) << "positions 0..2 cleared (result 99)";
    EXPECT_EQ(checks, 0);
    EXPECT_FALSE(link.XComm1.IsOpen());
}

// The second piece comes after the first read's limit has passed, within the second's.
TEST_P(Transport, AFrameSplitOverTwoReadsCompletesInTheSecond) {
    link.ReadTimeout = 60;
    std::string frame = orbellaFrame(6);
    EXPECT_EQ(orbella({{0, frame.substr(0, 5)}, {90, frame.substr(5)}}), 2u);
    EXPECT_EQ(answerBytes(frame.size()), frame);
    EXPECT_EQ(checks, 1);
}

TEST_P(Transport, ALengthThreeFrameCompletesAtItsFifteenthByteOrNever) {
    std::string frame = orbellaFrame(3);
    ASSERT_EQ(frame.size(), 15u);
    EXPECT_EQ(orbella({{0, frame}}), 1u);
    EXPECT_EQ(checks, 1);

    checks = 0;
    frame.back() = 0x0E;
    EXPECT_EQ(orbella({{0, frame}}), 10u) << "reads run out";
    EXPECT_EQ(checks, 0);
    EXPECT_EQ(answerBytes(15), frame) << "the dispatch still gets what came";
}

TEST_P(Transport, AFailedFrameCheckEndsTheReads) {
    frameOk = false;
    EXPECT_EQ(orbella({{0, orbellaFrame(2)}}), 1u);
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(dispatched);
}

TEST_P(Transport, AQuietLineEndsAfterTenOrbellaAndFortyOneMarkonReads) {
    EXPECT_EQ(orbella({}), 10u);
    EXPECT_TRUE(dispatched);
    EXPECT_EQ(answer[0], 0);
    EXPECT_FALSE(link.XComm1.IsOpen());
    dispatched = false;
    EXPECT_EQ(markon({}), 41u);
    EXPECT_EQ(checks, 1) << "the Markon frame check runs whatever came";
    EXPECT_TRUE(dispatched);
}

TEST_P(Transport, AnOrbellaAnswerThatNeverEndsStaysInsideTheBuffer) {
    // Length value 0xFF asks for 267 bytes, but no 0x0D comes where it should.
    std::string endless = bytesOf({0xAA, 0x01, 0x11, 0, 0, 0, 0, 0x73, 0xFF});
    endless += std::string(4600, '\x42');
    EXPECT_EQ(orbella({{0, endless.substr(0, 2500)}, {30, endless.substr(2500)}}), 10u);
    EXPECT_EQ(link.InputCount, TF_Podesavanje::InputBufferSize);
    EXPECT_EQ(answerBytes(9), endless.substr(0, 9));
    EXPECT_EQ(answer.back(), 0x42);
}

TEST_P(Transport, AMarkonAnswerInTwoPiecesIsHeldWithoutGapOrOverlap) {
    link.ReadTimeout = 60;
    std::string frame = markonFrame(20);
    EXPECT_EQ(markon({{0, frame.substr(0, 12)}, {90, frame.substr(12)}}), 2u);
    EXPECT_EQ(answerBytes(20), frame);
    EXPECT_EQ(answer[20], 0);
    EXPECT_EQ(link.InputCount, 20);
    EXPECT_FALSE(link.XComm1.IsOpen());
}

TEST_P(Transport, MarkonBusyBytesStayInFront) {
    std::string frame = bytesOf({0x16, 0x16, 0x16}) + markonFrame(10);
    EXPECT_EQ(markon({{0, frame + "tail"}}), 1u);
    EXPECT_EQ(answerBytes(frame.size()), frame);
    EXPECT_EQ(answer[frame.size()], 0) << "the first 0x03 ends the answer";
}

TEST_P(Transport, AShortWriteIsNotFollowedByAnyRead) {
    request.assign(1 << 20, '\x55');  // more than the line takes while nobody reads
    link.XComm1.Buffers.setOutputTimeout(30);
    auto send = [&](auto fn) {
        return readsDuring([&] {
            (link.*fn)(reinterpret_cast<const uint8_t*>(request.data()),
                       static_cast<int32_t>(request.size()), true, protocol);
        });
    };
    EXPECT_EQ(send(&TF_Podesavanje::Send_Fn2), 0u);
    EXPECT_TRUE(StatusText.starts_with("Nekorektan Poziv Poslato ")) << StatusText;
    EXPECT_TRUE(StatusText.ends_with(" bajta")) << StatusText;
    EXPECT_FALSE(dispatched);
    EXPECT_FALSE(link.XComm1.IsOpen());
    EXPECT_EQ(send(&TF_Podesavanje::Send_Fn3), 0u);
    EXPECT_EQ(StatusText, "Nekorektno slanje podataka");
    EXPECT_FALSE(link.XComm1.IsOpen());
}

TEST_P(Transport, AVanishingDeviceIsACommErrorAndLeavesThePortOpen) {
    std::string frame = orbellaFrame(4);
    orbella({{0, frame.substr(0, 4)}, {5, "", true}});
    EXPECT_EQ(StatusText,
              "Greska comm Komunikacije: Unable to read from port. (OS error 5: Input/output error)");
    EXPECT_FALSE(dispatched);
    EXPECT_TRUE(link.XComm1.IsOpen());
    // The next exchange uses the port as it is: no "Device is allready opened.".
    link.Send_Fn3(reinterpret_cast<const uint8_t*>(request.data()), 3, true, protocol);
    EXPECT_TRUE(StatusText.starts_with("Greska comm Komunikacije: Unable to")) << StatusText;
}

TEST_P(Transport, PortAndDecoderFailuresBecomeCommErrors) {
    link.XComm1.setDeviceName("COM0");
    link.Send_Fn2(reinterpret_cast<const uint8_t*>(request.data()), 13, true, protocol);
    EXPECT_EQ(StatusText, "Greska comm Komunikacije: Cannot open device COM0");

    link.XComm1.setDeviceName(pty.slavePath());
    protocol.dispatch = [](TF_Podesavanje::Buffer) { throw db_like_error(); };
    orbella({{0, orbellaFrame(1)}});
    EXPECT_EQ(StatusText, "Greska comm Komunikacije: lock conflict on no wait transaction");
    EXPECT_FALSE(link.XComm1.IsOpen()) << "the port was closed before the dispatch";
}

TEST_P(Transport, TheRequestGoesOutAsGivenAndOdzivTekstIsCleared) {
    link.OdzivTekst = "old";
    std::string frame = orbellaFrame(1);
    ScriptedPeer peer(pty, {{0, frame}}, request.size());
    link.Send_Fn2(reinterpret_cast<const uint8_t*>(request.data()),
                  static_cast<int32_t>(request.size()), true, protocol);
    peer.join();
    EXPECT_EQ(peer.request(), request);
    EXPECT_EQ(link.OdzivTekst, "");
}

TEST(TransportLog, EveryWriteAndReadChunkIsLoggedInHex) {
    TempDir dir;
    PtyPair pty;
    TF_Podesavanje link;
    link.TrafficLog = dir.file("traffic.log");
    link.ReadTimeout = 20;
    link.XComm1.setDeviceName(pty.slavePath());
    link.XComm1.setBaudRate(br57600);
    TF_Podesavanje::Protocol p{[] { return true; }, [](TF_Podesavanje::Buffer) {}};
    std::string req = bytesOf({0x01, 0x25, 0x20, 0x03});
    ScriptedPeer peer(pty, {{0, bytesOf({0x01, 0x41, 0x03})}}, req.size());
    link.Send_Fn3(reinterpret_cast<const uint8_t*>(req.data()), 4, true, p);
    peer.join();
    std::string log = readFile(link.TrafficLog);
    EXPECT_NE(log.find(" TX 4 01252003\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" RX 3 014103\n"), std::string::npos) << log;
}

}  // namespace
