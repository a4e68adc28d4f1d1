#include "change.h"

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

#include <base/fatal.h>

#include <algorithm>
#include <bit>

namespace crdt {

namespace {

constexpr uint8_t kChangeVersion = 1;

bool is_seq_op(OpAction a) {
    return a >= OpAction::ListInsert;
}

// Change-local actor numbers, assigned in order of first use.
class LocalActors {
public:
    LocalActors(uint32_t own, size_t table_size) : m_map(table_size, -1) { m_map[own] = 0; }
    void use(const OpId& id) {
        if (id.counter != 0 && m_map[id.actor] < 0) {
            m_map[id.actor] = static_cast<int32_t>(m_others.size() + 1);
            m_others.push_back(id.actor);
        }
    }
    uint32_t local(uint32_t actor) const { return static_cast<uint32_t>(m_map[actor]); }
    const std::vector<uint32_t>& others() const { return m_others; }

private:
    std::vector<int32_t> m_map;
    std::vector<uint32_t> m_others;
};

void write_id(ByteWriter& w, const OpId& id, const LocalActors& la) {
    w.uvarint(id.counter);
    if (id.counter != 0)
        w.uvarint(la.local(id.actor));
}

} // namespace

uint64_t ChangeData::span() const {
    uint64_t n = 0;
    for (const Op& op : ops)
        n += op.span();
    return n;
}

void encode_scalar(ByteWriter& w, const Scalar& s) {
    w.u8(static_cast<uint8_t>(s.index()));
    switch (scalar_kind(s)) {
    case ScalarKind::Null:
        break;
    case ScalarKind::Bool:
        w.u8(std::get<bool>(s) ? 1 : 0);
        break;
    case ScalarKind::Int:
        w.svarint(std::get<int64_t>(s));
        break;
    case ScalarKind::Uint:
        w.uvarint(std::get<uint64_t>(s));
        break;
    case ScalarKind::F64:
        w.u64le(std::bit_cast<uint64_t>(std::get<double>(s)));
        break;
    case ScalarKind::Str:
        w.str(std::get<std::string>(s));
        break;
    case ScalarKind::Counter:
        w.svarint(std::get<Counter>(s).value);
        break;
    case ScalarKind::Timestamp:
        w.svarint(std::get<Timestamp>(s).millis);
        break;
    }
}

bool decode_scalar(ByteReader& r, Scalar& out) {
    uint8_t kind = r.u8();
    switch (kind) {
    case 0:
        out = Null{};
        break;
    case 1: {
        uint8_t b = r.u8();
        if (b > 1)
            return false;
        out = b == 1;
        break;
    }
    case 2:
        out = r.svarint();
        break;
    case 3:
        out = r.uvarint();
        break;
    case 4:
        out = std::bit_cast<double>(r.u64le());
        break;
    case 5:
        out = std::string(r.str());
        break;
    case 6:
        out = Counter{r.svarint()};
        break;
    case 7:
        out = Timestamp{r.svarint()};
        break;
    default:
        return false;
    }
    return r.ok();
}

void encode_change(const ChangeData& c, const ActorTable& actors, std::vector<uint8_t>& out) {
    LocalActors la(c.actor, actors.size());
    for (const Op& op : c.ops) {
        la.use(op.obj);
        if (is_seq_op(op.action))
            la.use(op.elem);
        for (const OpId& p : op.pred)
            la.use(p);
    }
    ByteWriter w;
    w.bytes().swap(out);
    w.bytes().clear();
    w.u8(kChangeVersion);
    w.raw(actors[c.actor].bytes.data(), 16);
    w.uvarint(c.seq);
    w.uvarint(c.start_op);
    w.svarint(c.time);
    w.str(c.message);
    w.uvarint(c.deps.size());
    for (const ChangeHash& h : c.deps)
        w.raw(h.bytes.data(), h.bytes.size());
    w.uvarint(la.others().size());
    for (uint32_t a : la.others())
        w.raw(actors[a].bytes.data(), 16);
    w.uvarint(c.ops.size());
    std::string utf8;
    for (const Op& op : c.ops) {
        w.u8(static_cast<uint8_t>(op.action));
        write_id(w, op.obj, la);
        if (op.is_map_op())
            w.str(op.key);
        else
            write_id(w, op.elem, la);
        switch (op.action) {
        case OpAction::MapPut:
        case OpAction::ListInsert:
        case OpAction::ListPut:
            encode_scalar(w, op.value);
            break;
        case OpAction::MapMake:
        case OpAction::ListInsertMake:
        case OpAction::ListMake:
            w.u8(static_cast<uint8_t>(op.make));
            break;
        case OpAction::MapIncrement:
            w.svarint(op.by);
            break;
        case OpAction::TextInsert:
            utf8.clear();
            for (char32_t cp : op.text)
                utf8_append(utf8, cp);
            w.str(utf8);
            break;
        case OpAction::TextDelete:
            w.uvarint(op.len);
            break;
        default:
            break;
        }
        if (op.has_pred()) {
            w.uvarint(op.pred.size());
            for (const OpId& p : op.pred)
                write_id(w, p, la);
        }
    }
    out = w.take();
}

ChangeHash hash_bytes(std::span<const uint8_t> bytes) {
    ChangeHash h;
    if (gnutls_hash_fast(GNUTLS_DIG_SHA256, bytes.data(), bytes.size(), h.bytes.data()) != 0)
        kavu::fatal("change hash");
    return h;
}

Result<ChangeData> decode_change(std::span<const uint8_t> bytes, ActorTable& actors) {
    auto bad = [](const char* what) { return kavu::make_error(std::string("malformed change: ") + what); };
    ByteReader r(bytes);
    if (r.u8() != kChangeVersion)
        return bad("unknown version");
    ChangeData c;
    ActorId actor;
    auto actor_bytes = r.raw(16);
    if (!r.ok())
        return bad("truncated");
    std::copy(actor_bytes.begin(), actor_bytes.end(), actor.bytes.begin());
    c.seq = r.uvarint();
    c.start_op = r.uvarint();
    c.time = r.svarint();
    c.message = std::string(r.str());
    uint64_t ndeps = r.uvarint();
    if (!r.ok() || ndeps > r.remaining() / 32)
        return bad("truncated");
    if (c.seq == 0 || c.start_op == 0 || c.start_op > (uint64_t(1) << 62) || c.seq > (uint64_t(1) << 62))
        return bad("bad sequence or op number");
    c.deps.resize(ndeps);
    for (auto& h : c.deps) {
        auto b = r.raw(32);
        std::copy(b.begin(), b.end(), h.bytes.begin());
    }
    std::sort(c.deps.begin(), c.deps.end());
    c.deps.erase(std::unique(c.deps.begin(), c.deps.end()), c.deps.end());
    uint64_t nothers = r.uvarint();
    if (!r.ok() || nothers > r.remaining() / 16)
        return bad("truncated");
    std::vector<ActorId> local{actor};
    for (uint64_t i = 0; i < nothers; ++i) {
        ActorId a;
        auto b = r.raw(16);
        std::copy(b.begin(), b.end(), a.bytes.begin());
        if (std::find(local.begin(), local.end(), a) != local.end())
            return bad("repeated actor");
        local.push_back(a);
    }
    uint64_t nops = r.uvarint();
    if (!r.ok() || nops > r.remaining())
        return bad("truncated");
    std::vector<uint32_t> map(local.size());
    for (size_t i = 0; i < local.size(); ++i)
        map[i] = actors.intern(local[i]);
    c.actor = map[0];

    uint64_t counter = c.start_op;
    // Reads an id that must name an earlier operation (or be 0 when allowed).
    auto read_id = [&](OpId& id, bool zero_ok) {
        id.counter = r.uvarint();
        if (id.counter == 0) {
            id.actor = 0;
            return zero_ok;
        }
        uint64_t a = r.uvarint();
        if (a >= map.size() || id.counter >= counter)
            return false;
        id.actor = map[a];
        return true;
    };
    c.ops.resize(nops);
    std::string_view text;
    for (Op& op : c.ops) {
        uint8_t action = r.u8();
        if (action >= kOpActionCount)
            return bad("unknown operation");
        op.action = static_cast<OpAction>(action);
        if (!read_id(op.obj, true))
            return bad("bad object id");
        if (op.is_map_op()) {
            op.key = std::string(r.str());
        } else {
            bool head_ok = op.action == OpAction::ListInsert || op.action == OpAction::ListInsertMake ||
                           op.action == OpAction::TextInsert;
            if (!read_id(op.elem, head_ok))
                return bad("bad element id");
        }
        switch (op.action) {
        case OpAction::MapPut:
        case OpAction::ListInsert:
        case OpAction::ListPut:
            if (!decode_scalar(r, op.value))
                return bad("bad value");
            break;
        case OpAction::MapMake:
        case OpAction::ListInsertMake:
        case OpAction::ListMake: {
            uint8_t t = r.u8();
            if (t > static_cast<uint8_t>(ObjType::Text))
                return bad("bad object type");
            op.make = static_cast<ObjType>(t);
            break;
        }
        case OpAction::MapIncrement:
            op.by = r.svarint();
            break;
        case OpAction::TextInsert:
            text = r.str();
            if (!r.ok() || text.empty() || !utf8_decode(text, op.text))
                return bad("bad text");
            break;
        case OpAction::TextDelete: {
            uint64_t len = r.uvarint();
            if (len == 0 || len > 0xffffffffu || op.elem.counter + len > counter)
                return bad("bad delete length");
            op.len = static_cast<uint32_t>(len);
            break;
        }
        default:
            break;
        }
        if (op.has_pred()) {
            uint64_t n = r.uvarint();
            if (!r.ok() || n > r.remaining() + 1)
                return bad("truncated");
            op.pred.resize(n);
            for (OpId& p : op.pred)
                if (!read_id(p, false))
                    return bad("bad predecessor");
        }
        if (!r.ok())
            return bad("truncated");
        counter += op.span();
        if (counter > (uint64_t(1) << 62))
            return bad("op number overflow");
    }
    if (!r.ok())
        return bad("truncated");
    if (!r.done())
        return bad("trailing bytes");
    return c;
}

} // namespace crdt
