#include "Firebird.h"

#include <firebird/Interface.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace db {

using namespace Firebird;

namespace {

void shutdownEngine();

IMaster* master() {
    static IMaster* m = [] {
        IMaster* x = fb_get_master_interface();
        // The in-process engine runs threads of its own; they are stopped before the process
        // tears down, so that nothing of the engine still runs while static objects go.
        std::atexit(shutdownEngine);
        return x;
    }();
    return m;
}

// Owns one reference of a Firebird interface and lets it go with release().
template <class T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Ref& operator=(Ref&& o) noexcept {
        reset(std::exchange(o.p_, nullptr));
        return *this;
    }
    ~Ref() { reset(); }
    void reset(T* p = nullptr) {
        if (p_) p_->release();
        p_ = p;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T* detach() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// A status vector for one call sequence; failures come out as FbException.
class Status {
public:
    Status() : raw_(master()->getStatus()), wrap_(raw_) {}
    ~Status() { raw_->dispose(); }
    ThrowStatusWrapper* operator&() { return &wrap_; }

private:
    IStatus* raw_;
    ThrowStatusWrapper wrap_;
};

std::string messageOf(const FbException& e) {
    char buf[2048];
    master()->getUtilInterface()->formatStatus(buf, sizeof buf, e.getStatus());
    std::string s(buf);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

// Runs f and turns every engine failure into DbError with the engine's message.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const FbException& e) {
        throw DbError(messageOf(e));
    }
}

std::vector<unsigned char> buildDpb(const std::string& user, const std::string& password,
                                    bool creating) {
    Status st;
    IXpbBuilder* b = master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    struct Dispose {
        IXpbBuilder* b;
        ~Dispose() { b->dispose(); }
    } guard{b};
    b->insertString(&st, isc_dpb_user_name, user.c_str());
    b->insertString(&st, isc_dpb_password, password.c_str());
    // Bytes go in and out exactly as they are: the shop's code page is ours to know.
    b->insertString(&st, isc_dpb_lc_ctype, "NONE");
    // Always the in-process engine: the program needs no server and must never reach one.
    b->insertString(&st, isc_dpb_config, "Providers=Engine12");
    if (creating) {
        b->insertInt(&st, isc_dpb_sql_dialect, 3);
        b->insertInt(&st, isc_dpb_page_size, 8192);
        b->insertString(&st, isc_dpb_set_db_charset, "NONE");
    }
    const unsigned char* p = b->getBuffer(&st);
    return std::vector<unsigned char>(p, p + b->getBufferLength(&st));
}

unsigned baseType(IMessageMetadata* m, ThrowStatusWrapper* st, unsigned i) {
    return m->getType(st, i) & ~1u;
}

// Describes the parameters so that each value travels in its own form; the engine converts
// it to the column's type.
struct InputMessage {
    Ref<IMessageMetadata> meta;
    std::vector<unsigned char> buf;

    InputMessage(IStatement* stmt, const std::vector<Value>& params) {
        Status st;
        Ref<IMessageMetadata> in(stmt->getInputMetadata(&st));
        unsigned n = in->getCount(&st);
        if (n != params.size())
            throw DbError("Statement expects " + std::to_string(n) + " parameters, got " +
                          std::to_string(params.size()));
        if (n == 0) return;
        Ref<IMetadataBuilder> b(in->getBuilder(&st));
        for (unsigned i = 0; i < n; ++i) {
            const Value& v = params[i];
            switch (v.kind()) {
                case Value::Kind::Null: break;
                case Value::Kind::Int:
                    b->setType(&st, i, SQL_INT64 + 1);
                    b->setLength(&st, i, 8);
                    b->setScale(&st, i, 0);
                    break;
                case Value::Kind::Float:
                    b->setType(&st, i, SQL_DOUBLE + 1);
                    b->setLength(&st, i, 8);
                    b->setScale(&st, i, 0);
                    break;
                case Value::Kind::Text:
                    b->setType(&st, i, SQL_VARYING + 1);
                    b->setLength(&st, i, std::max<unsigned>(1, v.text().size()));
                    b->setCharSet(&st, i, 0);
                    break;
            }
        }
        meta.reset(b->getMetadata(&st));
        buf.assign(meta->getMessageLength(&st), 0);
        for (unsigned i = 0; i < n; ++i) {
            const Value& v = params[i];
            unsigned char* field = buf.data() + meta->getOffset(&st, i);
            auto* isNull = reinterpret_cast<short*>(buf.data() + meta->getNullOffset(&st, i));
            *isNull = v.isNull() ? -1 : 0;
            switch (v.kind()) {
                case Value::Kind::Null: break;
                case Value::Kind::Int: {
                    int64_t x = v.asInt();
                    std::memcpy(field, &x, 8);
                    break;
                }
                case Value::Kind::Float: {
                    double x = v.asFloat();
                    std::memcpy(field, &x, 8);
                    break;
                }
                case Value::Kind::Text: {
                    auto len = static_cast<unsigned short>(v.text().size());
                    std::memcpy(field, &len, 2);
                    std::memcpy(field + 2, v.text().data(), len);
                    break;
                }
            }
        }
    }
    IMessageMetadata* metadata() const { return meta.get(); }
    void* data() { return buf.empty() ? nullptr : buf.data(); }
};

// The result columns coerced to the three forms we hold: 64-bit integer, double, text.
struct OutputMessage {
    Ref<IMessageMetadata> meta;
    std::vector<std::string> names;
    std::vector<Value::Kind> kinds;
    std::vector<unsigned> offsets, nullOffsets;
    std::vector<unsigned char> buf;

    explicit OutputMessage(IStatement* stmt) {
        Status st;
        Ref<IMessageMetadata> out(stmt->getOutputMetadata(&st));
        unsigned n = out->getCount(&st);
        Ref<IMetadataBuilder> b(out->getBuilder(&st));
        for (unsigned i = 0; i < n; ++i) {
            names.emplace_back(out->getAlias(&st, i));
            unsigned t = baseType(out.get(), &st, i);
            int scale = out->getScale(&st, i);
            bool integral = (t == SQL_SHORT || t == SQL_LONG || t == SQL_INT64) && scale == 0;
            bool numeric = t == SQL_SHORT || t == SQL_LONG || t == SQL_INT64 || t == SQL_FLOAT ||
                           t == SQL_DOUBLE || t == SQL_D_FLOAT;
            if (integral) {
                b->setType(&st, i, SQL_INT64 + 1);
                b->setLength(&st, i, 8);
                kinds.push_back(Value::Kind::Int);
            } else if (numeric) {
                b->setType(&st, i, SQL_DOUBLE + 1);
                b->setLength(&st, i, 8);
                b->setScale(&st, i, 0);
                kinds.push_back(Value::Kind::Float);
            } else {
                unsigned len = (t == SQL_TEXT || t == SQL_VARYING) ? out->getLength(&st, i) : 64;
                b->setType(&st, i, SQL_VARYING + 1);
                b->setLength(&st, i, std::max(1u, len));
                kinds.push_back(Value::Kind::Text);
            }
        }
        meta.reset(b->getMetadata(&st));
        buf.assign(meta->getMessageLength(&st), 0);
        for (unsigned i = 0; i < n; ++i) {
            offsets.push_back(meta->getOffset(&st, i));
            nullOffsets.push_back(meta->getNullOffset(&st, i));
        }
    }

    Row row() const {
        Row r;
        r.reserve(kinds.size());
        for (size_t i = 0; i < kinds.size(); ++i) {
            short isNull;
            std::memcpy(&isNull, buf.data() + nullOffsets[i], sizeof isNull);
            const unsigned char* p = buf.data() + offsets[i];
            if (isNull) {
                r.emplace_back();
            } else if (kinds[i] == Value::Kind::Int) {
                int64_t x;
                std::memcpy(&x, p, 8);
                r.emplace_back(x);
            } else if (kinds[i] == Value::Kind::Float) {
                double x;
                std::memcpy(&x, p, 8);
                r.emplace_back(x);
            } else {
                unsigned short len;
                std::memcpy(&len, p, 2);
                r.emplace_back(std::string(reinterpret_cast<const char*>(p + 2), len));
            }
        }
        return r;
    }
};

void shutdownEngine() {
    IStatus* raw = master()->getStatus();
    CheckStatusWrapper st(raw);
    IProvider* p = master()->getDispatcher();
    p->shutdown(&st, 0, fb_shutrsn_app_stopped);
    p->release();
    raw->dispose();
}

}  // namespace

struct Connection::Impl {
    int batchEvery = 0;  // > 0 while a CommitBatch is open
    int batchPending = 0;
    Ref<IProvider> provider{master()->getDispatcher()};
    IAttachment* att = nullptr;
    ITransaction* tra = nullptr;

    ITransaction* transaction() {
        if (!tra) {
            Status st;
            tra = att->startTransaction(&st, 0, nullptr);
        }
        return tra;
    }

    Ref<IStatement> prepare(const std::string& sql) {
        if (!att) throw DbError("Database is not open");
        Status st;
        return guarded([&] {
            return Ref<IStatement>(att->prepare(&st, transaction(), 0, sql.c_str(), 3,
                                                IStatement::PREPARE_PREFETCH_METADATA));
        });
    }
};

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() {
    try {
        if (inTransaction()) commit();
    } catch (const DbError&) {
        // Nothing to tell anyone any more; every change was already committed when it was made.
    }
    detach();
}

void Connection::attach(const std::string& path, const std::string& user,
                        const std::string& password) {
    detach();
    auto dpb = buildDpb(user, password, false);
    Status st;
    d->att = guarded([&] {
        return d->provider->attachDatabase(&st, path.c_str(), static_cast<unsigned>(dpb.size()),
                                           dpb.data());
    });
}

void Connection::create(const std::string& path, const std::string& user,
                        const std::string& password) {
    detach();
    auto dpb = buildDpb(user, password, true);
    Status st;
    d->att = guarded([&] {
        return d->provider->createDatabase(&st, path.c_str(), static_cast<unsigned>(dpb.size()),
                                           dpb.data());
    });
}

void Connection::drop() noexcept {
    if (!d->att) return;
    try {
        Status st;
        if (d->tra) {
            d->tra->rollback(&st);
            d->tra = nullptr;
        }
        d->att->dropDatabase(&st);
        d->att = nullptr;
    } catch (const FbException&) {
        detach();
    }
}

void Connection::detach() noexcept {
    Status st;
    if (d->tra) {
        try {
            d->tra->rollback(&st);
        } catch (const FbException&) {
            d->tra->release();
        }
        d->tra = nullptr;
    }
    if (d->att) {
        try {
            d->att->detach(&st);
        } catch (const FbException&) {
            d->att->release();
        }
        d->att = nullptr;
    }
}

bool Connection::attached() const { return d->att != nullptr; }
bool Connection::inTransaction() const { return d->tra != nullptr; }

void Connection::commitRetaining() {
    if (!d->tra) return;
    if (d->batchEvery > 0 && ++d->batchPending < d->batchEvery) return;
    d->batchPending = 0;
    Status st;
    guarded([&] { d->tra->commitRetaining(&st); });
}

void Connection::commit() {
    if (!d->tra) return;
    Status st;
    guarded([&] { d->tra->commit(&st); });
    d->tra = nullptr;
}

CommitBatch::CommitBatch(Connection& c, int every) : c_(c) {
    c_.d->batchEvery = every;
    c_.d->batchPending = 0;
}

CommitBatch::~CommitBatch() {
    const bool pending = c_.d->batchPending > 0;
    c_.d->batchEvery = 0;
    c_.d->batchPending = 0;
    try {
        if (pending) c_.commitRetaining();
    } catch (const DbError&) {
        // The changes stay in the transaction and are committed with the next change or at close.
    }
}

ResultSet Connection::select(const std::string& sql, const std::vector<Value>& params) {
    Ref<IStatement> stmt = d->prepare(sql);
    return guarded([&] {
        Status st;
        InputMessage in(stmt.get(), params);
        OutputMessage out(stmt.get());
        ResultSet rs;
        rs.columns = out.names;
        if (stmt->getType(&st) != isc_info_sql_stmt_select &&
            stmt->getType(&st) != isc_info_sql_stmt_select_for_upd) {
            throw DbError("Statement does not return a result set");
        }
        Ref<IResultSet> cur(stmt->openCursor(&st, d->transaction(), in.metadata(), in.data(),
                                             out.meta.get(), 0));
        while (cur->fetchNext(&st, out.buf.data()) == IStatus::RESULT_OK) rs.rows.push_back(out.row());
        cur->close(&st);
        cur.detach();
        return rs;
    });
}

unsigned Connection::execute(const std::string& sql, const std::vector<Value>& params) {
    Ref<IStatement> stmt = d->prepare(sql);
    return guarded([&] {
        Status st;
        InputMessage in(stmt.get(), params);
        stmt->execute(&st, d->transaction(), in.metadata(), in.data(), nullptr, nullptr);
        return static_cast<unsigned>(stmt->getAffectedRecords(&st));
    });
}

}  // namespace db
