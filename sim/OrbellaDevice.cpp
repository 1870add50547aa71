#include "OrbellaDevice.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace sim {

namespace {

constexpr char Magic[8] = {'T', 'V', 'S', 'I', 'M', 'O', 'R', '1'};

void put16(Bytes& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xFF);
}

uint32_t get16(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8); }
uint32_t get32(const uint8_t* p) { return get16(p) | (get16(p + 2) << 16); }

bool checks(const uint8_t* f, size_t len) {
    if (f[1] != 0x01 || f[2] != 0x11 || f[len - 1] != 0x0D) return false;
    uint8_t sum = 0, x = 0;
    for (size_t i = 0; i + 3 < len; ++i) {
        sum += f[i];
        x ^= f[i];
    }
    return f[len - 3] == sum && f[len - 2] == x;
}

}  // namespace

OrbellaDevice::OrbellaDevice(std::string ibo, std::string memoryFile)
    : ibo_(std::move(ibo)), file_(std::move(memoryFile)) {
    ibo_.resize(13, ' ');
    reset();
    load();
}

void OrbellaDevice::reset() {
    for (auto& a : mem_.articles) {
        std::memset(a.name, 0xFF, 36);
        a.name[36] = 0;
        std::memset(a.barcode, 0, 7);
        a.tax = a.group = 0;
        a.price = 0;
    }
    for (auto& g : mem_.groups) {
        std::memset(g.name, ' ', 18);
        g.name[18] = 0;
        g.tax = 0;
        g.amount = 0;
    }
    for (auto& o : mem_.operators) {
        std::memset(o.name, 0xFF, 18);
        o.password = 0;
    }
    mem_.rates[0] = 0;
    mem_.rates[1] = 1700;
    mem_.rates[2] = mem_.rates[3] = 0xFFFF;
    for (auto& l : mem_.lines) std::memset(l, ' ', 18);
}

void OrbellaDevice::load() {
    if (file_.empty()) return;
    std::ifstream f(file_, std::ios::binary);
    char magic[8];
    Memory m;
    if (f.read(magic, 8) && std::memcmp(magic, Magic, 8) == 0 &&
        f.read(reinterpret_cast<char*>(&m), sizeof m))
        mem_ = m;
}

void OrbellaDevice::Save() const {
    if (file_.empty()) return;
    std::ofstream f(file_ + ".new", std::ios::binary | std::ios::trunc);
    f.write(Magic, 8);
    f.write(reinterpret_cast<const char*>(&mem_), sizeof mem_);
    f.close();
    if (f) std::rename((file_ + ".new").c_str(), file_.c_str());
}

std::vector<Bytes> OrbellaDevice::Receive(const uint8_t* bytes, size_t n) {
    pending_.insert(pending_.end(), bytes, bytes + n);
    std::vector<Bytes> frames;
    size_t at = 0;
    for (;;) {
        while (at < pending_.size() && pending_[at] != 0xAA) ++at;
        if (pending_.size() - at < 9) break;
        size_t len = size_t{pending_[at + 8]} + 12;
        if (pending_.size() - at < len) break;
        if (checks(&pending_[at], len)) {
            frames.emplace_back(pending_.begin() + at, pending_.begin() + at + len);
            at += len;
        } else {
            ++at;  // not a frame after all: look for the next start byte
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + at);
    if (pending_.size() > 4096) pending_.clear();  // a device's receive buffer is bounded
    return frames;
}

Bytes OrbellaDevice::frame(const Bytes& request, uint8_t command, const Bytes& data, Fault fault) const {
    const uint8_t head[9] = {0xAA, 0x01, 0x11, request[3], request[4], request[5], request[6], command,
                             static_cast<uint8_t>(data.size())};
    Bytes f(head, head + 9);
    f.resize(9 + data.size());
    std::copy(data.begin(), data.end(), f.begin() + 9);
    uint8_t sum = 0, x = 0;
    for (uint8_t b : f) {
        sum += b;
        x ^= b;
    }
    f.push_back(fault == Fault::BadChecksum ? uint8_t(sum + 1) : sum);
    f.push_back(x);
    f.push_back(0x0D);
    return f;
}

Bytes OrbellaDevice::Answer(const Bytes& request, Fault fault) {
    const uint8_t cmd = request[7];
    const size_t n = request[8];
    const uint8_t* d = request.data() + 9;
    if (fault == Fault::Silence) return {};
    if (fault == Fault::GeneralAck) return frame(request, 0x1F, {}, fault);
    Bytes data;
    switch (cmd) {
        case 0x67: {  // identification
            put32(data, 1);
            put32(data, 0);
            data.push_back(0);
            data.push_back(1);  // wholesale mode on
            data.push_back(0);  // retail mode off
            data.insert(data.end(), ibo_.begin(), ibo_.end());
            return frame(request, 0x67, data, fault);
        }
        case 0x79: return frame(request, 0x79, {}, fault);
        case 0x73: {
            if (n < 2 || get16(d) >= Articles) break;
            const Article& a = mem_.articles[get16(d)];
            data.assign(d, d + 2);
            data.insert(data.end(), a.name, a.name + 37);
            data.insert(data.end(), a.barcode, a.barcode + 7);
            data.push_back(a.tax);
            data.push_back(static_cast<uint8_t>(0x50 | a.group));  // high nibble: device's own
            put32(data, static_cast<uint32_t>(a.price));
            put32(data, 5000);  // quantity, thousandths
            put32(data, 0);
            put32(data, 0);
            data.push_back(0);
            return frame(request, 0x73, data, fault);
        }
        case 0x6F: {
            if (n < 1 || d[0] >= Groups) break;
            const Group& g = mem_.groups[d[0]];
            data.push_back(d[0]);
            data.insert(data.end(), g.name, g.name + 19);
            data.push_back(g.tax);
            put32(data, static_cast<uint32_t>(g.amount));
            return frame(request, 0x6F, data, fault);
        }
        case 0x75: {
            if (n < 1 || d[0] >= Operators) break;
            const Operator& o = mem_.operators[d[0]];
            data.push_back(d[0]);
            data.insert(data.end(), o.name, o.name + 18);
            data.push_back(0);
            put32(data, static_cast<uint32_t>(o.password));
            return frame(request, 0x75, data, fault);
        }
        case 0x6B: {
            if (n < 1 || d[0] >= 4) break;
            data = {d[0], 0, 0};
            put16(data, mem_.rates[d[0]]);
            return frame(request, 0x6B, data, fault);
        }
        case 0x65: {
            if (n < 1 || d[0] >= Lines) break;
            data.push_back(d[0]);
            data.insert(data.end(), mem_.lines[d[0]], mem_.lines[d[0]] + 18);
            return frame(request, 0x65, data, fault);
        }
        case 0x74: {
            bool ok = fault != Fault::RefuseWrite && storeWrite(cmd, d, n);
            data.assign(d, d + std::min<size_t>(n, 2));
            if (!ok) data.push_back(0xEE);  // refused: the echo carries an error byte
            return frame(request, 0x74, data, fault);
        }
        case 0x70:
        case 0x76:
        case 0x6C:
        case 0x66:
            if (!storeWrite(cmd, d, n)) break;
            return frame(request, cmd, {d[0]}, fault);
    }
    return frame(request, 0x1F, {}, fault);  // anything else: the general acknowledgement
}

bool OrbellaDevice::storeWrite(uint8_t cmd, const uint8_t* d, size_t n) {
    switch (cmd) {
        case 0x74: {
            if (n < 56 || get16(d) >= Articles) return false;
            Article& a = mem_.articles[get16(d)];
            std::memcpy(a.name, d + 2, 37);
            std::memcpy(a.barcode, d + 39, 7);
            a.tax = d[46] & 0x0F;
            a.group = d[47] & 0x0F;
            a.price = static_cast<int32_t>(get32(d + 48));
            break;
        }
        case 0x70: {
            if (n < 25 || d[0] >= Groups) return false;
            Group& g = mem_.groups[d[0]];
            std::memcpy(g.name, d + 1, 19);
            g.tax = d[20];
            g.amount = static_cast<int32_t>(get32(d + 21));
            break;
        }
        case 0x76: {
            if (n < 24 || d[0] >= Operators) return false;
            Operator& o = mem_.operators[d[0]];
            std::memcpy(o.name, d + 1, 18);
            o.password = static_cast<int32_t>(get32(d + 20));
            break;
        }
        case 0x6C:
            if (n < 5 || d[0] >= 4) return false;
            mem_.rates[d[0]] = static_cast<uint16_t>(get16(d + 3));
            break;
        case 0x66:
            if (n < 19 || d[0] >= Lines) return false;
            std::memcpy(mem_.lines[d[0]], d + 1, 18);
            break;
        default: return false;
    }
    Save();
    return true;
}

std::optional<Fault> faultNamed(const std::string& name) {
    static const std::pair<const char*, Fault> names[] = {
        {"none", Fault::None},           {"silence", Fault::Silence},
        {"noise", Fault::Noise},         {"split", Fault::Split},
        {"bytewise", Fault::ByteByByte}, {"checksum", Fault::BadChecksum},
        {"ack", Fault::GeneralAck},      {"refuse", Fault::RefuseWrite},
        {"nak", Fault::Nak},             {"sequence", Fault::WrongSequence},
        {"status5", Fault::FiveStatus},  {"status7", Fault::SevenStatus},
        {"syn", Fault::SynRun}};
    for (auto [n, f] : names)
        if (name == n) return f;
    return std::nullopt;
}

const char* faultNames() {
    return "none silence noise split bytewise checksum ack refuse nak sequence status5 status7 syn";
}

}  // namespace sim
