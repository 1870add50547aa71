#include "MarkonDevice.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

std::string pad(int v, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*d", width, v);
    return b;
}

std::string toHex(const std::string& s) {
    static const char d[] = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : s) {
        h += d[c >> 4];
        h += d[c & 15];
    }
    return h;
}

std::string fromHex(const std::string& h) {
    std::string s;
    for (size_t i = 0; i + 1 < h.size(); i += 2) s += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return s;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

bool number(const std::string& s, int& v) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 9) return false;
    v = std::stoi(s);
    return true;
}

bool validLine(int n) { return (n >= 40 && n <= 47) || (n >= 60 && n <= 64) || (n >= 600 && n <= 609); }

}  // namespace

MarkonDevice::MarkonDevice(std::string ibo, std::string memoryFile)
    : ibo_(std::move(ibo)), file_(std::move(memoryFile)) {
    load();
}

void MarkonDevice::load() {
    if (file_.empty()) return;
    std::ifstream f(file_);
    for (std::string line; std::getline(f, line);) {
        auto p = split(line, '|');
        if (p.size() < 2) continue;
        int n = 0;
        if (p[0] == "A" && p.size() == 7 && number(p[1], n)) {
            Article a{fromHex(p[2]), p[3], static_cast<char>(std::stoi(p[4])), std::stoi(p[5]), p[6]};
            mem_.articles[n] = a;
        } else if (p[0] == "O" && p.size() == 4 && number(p[1], n) && n <= Operators) {
            mem_.operators[n] = {fromHex(p[2]), std::stoi(p[3])};
        } else if (p[0] == "D" && p.size() == 4 && number(p[1], n) && n <= Departments) {
            mem_.departments[n] = {fromHex(p[2]), static_cast<uint8_t>(std::stoi(p[3]))};
        } else if (p[0] == "R" && p.size() == 5) {
            for (int i = 0; i < 4; ++i) mem_.rates[i] = p[i + 1];
        } else if (p[0] == "L" && p.size() == 3 && number(p[1], n)) {
            mem_.lines[n] = fromHex(p[2]);
        }
    }
}

void MarkonDevice::Save() const {
    if (file_.empty()) return;
    std::ofstream f(file_ + ".new", std::ios::trunc);
    for (const auto& [n, a] : mem_.articles)
        f << "A|" << n << '|' << toHex(a.name) << '|' << a.barcode << '|' << int(static_cast<uint8_t>(a.tax))
          << '|' << a.department << '|' << a.price << '\n';
    for (int n = 1; n <= Operators; ++n)
        f << "O|" << n << '|' << toHex(mem_.operators[n].name) << '|' << mem_.operators[n].password << '\n';
    for (int n = 1; n <= Departments; ++n)
        f << "D|" << n << '|' << toHex(mem_.departments[n].name) << '|' << int(mem_.departments[n].tax) << '\n';
    f << "R|" << mem_.rates[0] << '|' << mem_.rates[1] << '|' << mem_.rates[2] << '|' << mem_.rates[3] << '\n';
    for (const auto& [n, l] : mem_.lines) f << "L|" << n << '|' << toHex(l) << '\n';
    f.close();
    if (f) std::rename((file_ + ".new").c_str(), file_.c_str());
}

std::vector<Bytes> MarkonDevice::Receive(const uint8_t* bytes, size_t n) {
    pending_.insert(pending_.end(), bytes, bytes + n);
    std::vector<Bytes> out;
    size_t at = 0;
    for (;;) {
        while (at < pending_.size() && pending_[at] != 0x01) ++at;
        if (pending_.size() - at < 2) break;
        const size_t post = pending_[at + 1] >= 0x24 ? size_t(pending_[at + 1] - 0x20) : 0;
        if (post == 0) {
            ++at;
            continue;
        }
        const size_t len = post + 6;
        if (pending_.size() - at < len) break;
        const uint8_t* f = &pending_[at];
        uint32_t sum = 0;
        for (size_t i = 1; i <= post; ++i) sum += f[i];
        bool ok = f[post] == 0x05 && f[len - 1] == 0x03;
        for (int i = 0; i < 4 && ok; ++i) ok = f[post + 1 + i] == 0x30 + ((sum >> (12 - 4 * i)) & 0xF);
        if (ok) {
            out.emplace_back(f, f + len);
            at += len;
        } else {
            out.emplace_back();  // a frame that does not check: answered with NAK
            at += 1;
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(at));
    if (pending_.size() > 4096) pending_.clear();
    return out;
}

Bytes MarkonDevice::frame(const Bytes& request, uint8_t command, const std::string& data, bool refused,
                          Fault fault) const {
    const int statusCount = fault == Fault::FiveStatus ? 5 : fault == Fault::SevenStatus ? 7 : 6;
    Bytes f{0x01, 0, static_cast<uint8_t>(request[2] + (fault == Fault::WrongSequence ? 1 : 0)), command};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(0x04);
    for (int i = 0; i < statusCount; ++i) {
        uint8_t s = 0x80;
        if (refused && i == 0) s |= 0x20;
        if (refused && i == 3) s = 0x80 | 0x05;  // error number 5
        f.push_back(s);
    }
    f.push_back(0x05);
    f[1] = static_cast<uint8_t>(0x20 + f.size() - 1);
    uint32_t sum = 0;
    for (size_t i = 1; i < f.size(); ++i) sum += f[i];
    if (fault == Fault::BadChecksum) ++sum;
    for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(0x30 + ((sum >> (12 - 4 * i)) & 0xF)));
    f.push_back(0x03);
    return f;
}

Bytes MarkonDevice::Answer(const Bytes& request, Fault fault) {
    if (request.empty() || fault == Fault::Nak) return {0x15};
    if (fault == Fault::Silence) return {};
    if (fault == Fault::GeneralAck) return frame(request, request[3], "", false, fault);
    Bytes a = handle(request, fault);
    return a;
}

Bytes MarkonDevice::handle(const Bytes& r, Fault fault) {
    const uint8_t cmd = r[3];
    const std::string data(r.begin() + 4, r.begin() + (r[1] - 0x20));
    auto general = [&](bool ok) { return frame(r, cmd, "", !ok, fault); };
    auto pf = [&](bool ok) { return frame(r, cmd, ok ? "P" : "F", !ok, fault); };
    int n = 0;
    switch (cmd) {
        case 163: return general(data.size() == 16);
        case 99: return frame(r, cmd, ibo_ + "\t" + "IPO" + ibo_.substr(0, 3) + "\t", false, fault);
        case 74: return frame(r, cmd, std::string(6, '\x80'), false, fault);
        case 96: {
            auto p = split(data, ',');
            if (p.size() != 4) return pf(false);
            for (int i = 0; i < 4; ++i) mem_.rates[i] = p[i];
            Save();
            return pf(true);
        }
        case 97: return frame(r, cmd, mem_.rates[0] + "," + mem_.rates[1] + "," + mem_.rates[2] + "," + mem_.rates[3], false, fault);
        case 101: {
            auto p = split(data, ',');
            int old = 0, fresh = 0;
            if (p.size() != 3 || !number(p[0], n) || n < 1 || n > Operators || !number(p[1], old) ||
                !number(p[2], fresh) || mem_.operators[n].password != old)
                return pf(false);
            mem_.operators[n].password = fresh;
            Save();
            return pf(true);
        }
        case 102: {
            size_t c1 = data.find(','), c2 = data.find(',', c1 + 1);
            int pw = 0;
            if (c1 == std::string::npos || c2 == std::string::npos || !number(data.substr(0, c1), n) || n < 1 ||
                n > Operators || !number(data.substr(c1 + 1, c2 - c1 - 1), pw))
                return general(false);
            mem_.operators[n] = {data.substr(c2 + 1), pw};
            Save();
            return general(true);
        }
        case 112: {
            if (!number(data, n) || n < 1 || n > Operators) return general(false);
            return frame(r, cmd, "12,3;150.50,0;0.00,0;0.00,1;2.00," + mem_.operators[n].name + "\t0;0.00", false, fault);
        }
        case 107: {
            const char sub = data.empty() ? ' ' : data[0];
            if (sub == 'R') {
                if (!number(data.substr(1), n) || n < 1 || n > Articles) return pf(false);
                auto it = mem_.articles.find(n);
                Article a = it == mem_.articles.end() ? Article{"", "", '\xC0', 0, "0.00"} : it->second;
                return frame(r, cmd,
                             "PR" + pad(n, 4) + ",0," + std::string(1, a.tax) + "," + a.price + ",0.00,1.000," + a.name +
                                 "\n" + a.barcode + "," + pad(a.department, 2) + ",1,999999.999",
                             false, fault);
            }
            if (sub == 'D') {
                if (!number(data.substr(1), n) || n < 1 || n > Articles) return pf(false);
                mem_.articles.erase(n);
                Save();
                return frame(r, cmd, "P" + pad(n, 4) + ",", false, fault);
            }
            if (sub == 'P' && fault != Fault::RefuseWrite) {
                // P, tax byte, nnnn "," price "," name LF bar "," dd "," 1 "," quantity
                size_t lf = data.find('\n');
                auto head = split(data.substr(2, lf == std::string::npos ? 0 : lf - 2), ',');
                auto tail = split(lf == std::string::npos ? "" : data.substr(lf + 1), ',');
                int dept = 0;
                if (lf != std::string::npos && head.size() >= 3 && tail.size() == 4 && number(head[0], n) &&
                    n >= 1 && n <= Articles && number(tail[1], dept)) {
                    std::string name = data.substr(2 + head[0].size() + 1 + head[1].size() + 1,
                                                   lf - (2 + head[0].size() + 1 + head[1].size() + 1));
                    mem_.articles[n] = {name, tail[0], data[1], dept, head[1]};
                    Save();
                    return frame(r, cmd, "P" + pad(n, 4) + ",", false, fault);
                }
            }
            return pf(false);
        }
        case 131: {
            if (data.size() < 2 || data[0] != 'R' || !number(data.substr(1), n) || n < 1 || n > Departments)
                return pf(false);
            const Department& d = mem_.departments[n];
            return frame(r, cmd,
                         "PR" + pad(n, 2) + "," + d.name + "\n" + std::string(1, static_cast<char>(d.tax)) +
                             ",0,1.000,2.50,3.000,0,",
                         false, fault);
        }
        case 149: {
            if (data.size() < 2 || data[0] != 'R' || !number(data.substr(1), n) || !validLine(n)) return pf(false);
            auto it = mem_.lines.find(n);
            return frame(r, cmd, it == mem_.lines.end() ? std::string() : it->second, false, fault);
        }
    }
    return general(true);
}

}  // namespace sim
