#include "storage.h"

#include "document_impl.h"

#include <base/fatal.h>

#include <zstd.h>

#include <algorithm>
#include <array>
#include <bit>

namespace crdt {

using kavu::make_error;

namespace {

constexpr uint8_t kChunkChanges = 1;
constexpr uint8_t kCompressionNone = 0;
constexpr uint8_t kCompressionZstd = 1;
constexpr size_t kChunkHeader = 9;
constexpr size_t kMaxChunkBody = size_t(1) << 31;

enum Column : size_t {
    ChActor,
    ChSeq,
    ChStart,
    ChTime,
    ChMessage,
    ChDepCount,
    ChDeps,
    ChOpCount,
    OpActionCol,
    OpObjCounter,
    OpObjActor,
    OpKey,
    OpKeyStr,
    OpElemCounter,
    OpElemActor,
    OpValKind,
    OpValInt,
    OpValF64,
    OpStrLen,
    OpStrBytes,
    OpLen,
    OpText,
    OpPredCount,
    OpPredCounter,
    OpPredActor,
    ColumnCount
};

uint32_t chunk_crc(uint8_t type, std::span<const uint8_t> size_bytes, std::span<const uint8_t> payload) {
    uint32_t crc = crc32(std::span(&type, 1));
    crc = crc32(size_bytes, crc);
    return crc32(payload, crc);
}

void append_chunk(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> payload) {
    ByteWriter w;
    w.u8(type);
    w.u32le(static_cast<uint32_t>(payload.size()));
    auto& h = w.bytes();
    uint32_t crc = chunk_crc(type, std::span(h).subspan(1, 4), payload);
    w.u32le(crc);
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), payload.begin(), payload.end());
}

// Per-actor counts and op numbers of the changes seen so far in a file, to
// write sequence and op numbers as the (usually zero) surprise over what
// they would be for a change made right after its dependencies.
struct FileState {
    std::vector<uint64_t> actor_seq;    // by chunk actor
    std::vector<uint64_t> actor_max_op; // by chunk actor
    std::vector<uint64_t> max_op;       // by file position
    int64_t last_time = 0;
};

// The counter of the sequence element an operation touched last: what it
// inserted (the last of a text insert), else what it refers to. Map
// operations leave it as it was.
uint64_t touched_elem(const Op& op, uint64_t counter, uint64_t last) {
    switch (op.action) {
    case OpAction::ListInsert:
    case OpAction::ListInsertMake:
        return counter;
    case OpAction::TextInsert:
        return counter + op.text.size() - 1;
    case OpAction::ListPut:
    case OpAction::ListMake:
    case OpAction::ListDelete:
    case OpAction::TextDelete:
        return op.elem.counter;
    default:
        return last;
    }
}

class ChunkEncoder {
public:
    ChunkEncoder() : m_cols(ColumnCount) {}

    void add(const ChangeData& c, uint32_t file_pos, std::span<const uint32_t> dep_pos, FileState& fs) {
        uint32_t a = c.actor;
        if (fs.actor_seq.size() <= a) {
            fs.actor_seq.resize(a + 1, 0);
            fs.actor_max_op.resize(a + 1, 0);
        }
        col(ChActor).uvarint(a);
        col(ChSeq).svarint(static_cast<int64_t>(c.seq - (fs.actor_seq[a] + 1)));
        uint64_t floor = fs.actor_max_op[a];
        for (uint32_t d : dep_pos)
            floor = std::max(floor, fs.max_op[d]);
        col(ChStart).svarint(static_cast<int64_t>(c.start_op - (floor + 1)));
        col(ChTime).svarint(c.time - fs.last_time);
        col(ChMessage).str(c.message);
        col(ChDepCount).uvarint(dep_pos.size());
        for (uint32_t d : dep_pos)
            col(ChDeps).uvarint(file_pos - d);
        col(ChOpCount).uvarint(c.ops.size());
        uint64_t counter = c.start_op;
        for (const Op& op : c.ops) {
            add_op(op, counter);
            counter += op.span();
        }
        fs.actor_seq[a] = c.seq;
        fs.actor_max_op[a] = c.max_op();
        if (fs.max_op.size() <= file_pos)
            fs.max_op.resize(file_pos + 1);
        fs.max_op[file_pos] = c.max_op();
        fs.last_time = c.time;
    }

    void finish(ByteWriter& w) {
        w.uvarint(ColumnCount);
        for (auto& c : m_cols)
            w.uvarint(c.size());
        for (auto& c : m_cols)
            w.raw(c.bytes().data(), c.size());
    }

private:
    ByteWriter& col(Column c) { return m_cols[c]; }

    void add_op(const Op& op, uint64_t counter) {
        col(OpActionCol).u8(static_cast<uint8_t>(op.action));
        col(OpObjCounter).svarint(static_cast<int64_t>(op.obj.counter - m_last_obj));
        m_last_obj = op.obj.counter;
        if (op.obj.counter != 0)
            col(OpObjActor).uvarint(op.obj.actor);
        if (op.is_map_op()) {
            auto it = m_keys.find(op.key);
            if (it == m_keys.end()) {
                col(OpKey).uvarint(0);
                col(OpKeyStr).str(op.key);
                m_keys.emplace(op.key, m_keys.size() + 1);
            } else {
                col(OpKey).uvarint(it->second);
            }
        } else {
            // Relative to the element the previous operation touched: typing
            // and deleting walk through neighbouring ids. 0 is the head.
            if (op.elem.counter == 0) {
                col(OpElemCounter).uvarint(0);
            } else {
                int64_t d = static_cast<int64_t>(op.elem.counter - m_last_elem);
                col(OpElemCounter)
                    .uvarint(((static_cast<uint64_t>(d) << 1) ^ static_cast<uint64_t>(d >> 63)) + 1);
            }
            if (op.elem.counter != 0)
                col(OpElemActor).uvarint(op.elem.actor);
        }
        switch (op.action) {
        case OpAction::MapPut:
        case OpAction::ListInsert:
        case OpAction::ListPut:
            add_scalar(op.value);
            break;
        case OpAction::MapMake:
        case OpAction::ListInsertMake:
        case OpAction::ListMake:
            col(OpValKind).u8(static_cast<uint8_t>(op.make));
            break;
        case OpAction::MapIncrement:
            col(OpValInt).svarint(op.by);
            break;
        case OpAction::TextInsert: {
            col(OpLen).uvarint(op.text.size());
            std::string utf8;
            for (char32_t cp : op.text)
                utf8_append(utf8, cp);
            col(OpText).raw(utf8.data(), utf8.size());
            break;
        }
        case OpAction::TextDelete:
            col(OpLen).uvarint(op.len);
            break;
        default:
            break;
        }
        m_last_elem = touched_elem(op, counter, m_last_elem);
        if (op.has_pred()) {
            col(OpPredCount).uvarint(op.pred.size());
            for (const OpId& p : op.pred) {
                col(OpPredCounter).uvarint(counter - p.counter);
                col(OpPredActor).uvarint(p.actor);
            }
        }
    }

    void add_scalar(const Scalar& s) {
        col(OpValKind).u8(static_cast<uint8_t>(s.index()));
        switch (scalar_kind(s)) {
        case ScalarKind::Null:
            break;
        case ScalarKind::Bool:
            col(OpValInt).uvarint(std::get<bool>(s));
            break;
        case ScalarKind::Int:
            col(OpValInt).svarint(std::get<int64_t>(s));
            break;
        case ScalarKind::Uint:
            col(OpValInt).uvarint(std::get<uint64_t>(s));
            break;
        case ScalarKind::F64:
            col(OpValF64).u64le(std::bit_cast<uint64_t>(std::get<double>(s)));
            break;
        case ScalarKind::Str: {
            const auto& str = std::get<std::string>(s);
            col(OpStrLen).uvarint(str.size());
            col(OpStrBytes).raw(str.data(), str.size());
            break;
        }
        case ScalarKind::Counter:
            col(OpValInt).svarint(std::get<Counter>(s).value);
            break;
        case ScalarKind::Timestamp:
            col(OpValInt).svarint(std::get<Timestamp>(s).millis);
            break;
        }
    }

    std::vector<ByteWriter> m_cols;
    uint64_t m_last_obj = 0;
    uint64_t m_last_elem = 0;
    std::unordered_map<std::string, uint64_t> m_keys;
};

class ChunkDecoder {
public:
    // Reads the column table; false when it does not fit the body.
    bool open(ByteReader& r) {
        uint64_t n = r.uvarint();
        if (!r.ok() || n != ColumnCount)
            return false;
        std::array<uint64_t, ColumnCount> sizes{};
        for (auto& s : sizes)
            s = r.uvarint();
        m_cols.clear();
        for (uint64_t s : sizes) {
            auto b = r.raw(s);
            if (!r.ok())
                return false;
            m_cols.emplace_back(b);
        }
        return r.done();
    }

    // Decodes the next change; actors are chunk actors mapped by `actor_map`.
    // Reads a change's metadata; its operations follow through next_op(),
    // then end_change().
    bool begin_change(ChangeData& c, uint32_t file_pos, std::vector<uint32_t>& dep_pos, FileState& fs,
                      const std::vector<uint32_t>& actor_map, uint64_t& nops) {
        uint64_t chunk_actor = col(ChActor).uvarint();
        if (chunk_actor >= actor_map.size())
            return false;
        uint32_t a = actor_map[chunk_actor];
        if (fs.actor_seq.size() <= a) {
            fs.actor_seq.resize(a + 1, 0);
            fs.actor_max_op.resize(a + 1, 0);
        }
        c.actor = a;
        // Files hold a causal log: an actor's changes come in sequence and
        // number their operations above everything they depend on.
        if (col(ChSeq).svarint() != 0)
            return false;
        c.seq = fs.actor_seq[a] + 1;
        uint64_t ndeps = col(ChDepCount).uvarint();
        if (ndeps > col(ChDeps).remaining())
            return false;
        dep_pos.clear();
        uint64_t floor = fs.actor_max_op[a];
        for (uint64_t i = 0; i < ndeps; ++i) {
            uint64_t back = col(ChDeps).uvarint();
            if (back == 0 || back > file_pos)
                return false;
            dep_pos.push_back(static_cast<uint32_t>(file_pos - back));
            floor = std::max(floor, fs.max_op[dep_pos.back()]);
        }
        int64_t start_delta = col(ChStart).svarint();
        if (start_delta < 0)
            return false;
        c.start_op = floor + 1 + static_cast<uint64_t>(start_delta);
        c.time = fs.last_time + col(ChTime).svarint();
        c.message = std::string(col(ChMessage).str());
        nops = col(ChOpCount).uvarint();
        if (nops > col(OpActionCol).remaining() || c.start_op > (uint64_t(1) << 62))
            return false;
        for (auto& col : m_cols)
            if (!col.ok())
                return false;
        return true;
    }

    // Ends a change whose last operation number is max_op.
    bool end_change(const ChangeData& c, uint64_t max_op, uint32_t file_pos, FileState& fs) {
        for (auto& col : m_cols)
            if (!col.ok())
                return false;
        fs.actor_seq[c.actor] = c.seq;
        fs.actor_max_op[c.actor] = max_op;
        if (fs.max_op.size() <= file_pos)
            fs.max_op.resize(file_pos + 1);
        fs.max_op[file_pos] = max_op;
        fs.last_time = c.time;
        return true;
    }

    bool next(ChangeData& c, uint32_t file_pos, std::vector<uint32_t>& dep_pos, FileState& fs,
              const std::vector<uint32_t>& actor_map) {
        uint64_t nops = 0;
        if (!begin_change(c, file_pos, dep_pos, fs, actor_map, nops))
            return false;
        c.ops.clear();
        c.ops.resize(nops);
        uint64_t counter = c.start_op;
        for (Op& op : c.ops) {
            if (!next_op(op, counter, actor_map))
                return false;
            counter += op.span();
            if (counter > (uint64_t(1) << 62))
                return false;
        }
        return end_change(c, counter - 1, file_pos, fs);
    }

    bool all_consumed() const {
        return std::all_of(m_cols.begin(), m_cols.end(),
                           [](const ByteReader& r) { return r.done() && r.ok(); });
    }

private:
    ByteReader& col(Column c) { return m_cols[c]; }

    bool read_actor(Column c, uint32_t& out, const std::vector<uint32_t>& actor_map) {
        uint64_t a = col(c).uvarint();
        if (a >= actor_map.size())
            return false;
        out = actor_map[a];
        return true;
    }

public:
    bool next_op(Op& op, uint64_t counter, const std::vector<uint32_t>& actor_map) {
        uint8_t action = col(OpActionCol).u8();
        if (action >= kOpActionCount)
            return false;
        op.action = static_cast<OpAction>(action);
        m_last_obj += static_cast<uint64_t>(col(OpObjCounter).svarint());
        op.obj.counter = m_last_obj;
        op.obj.actor = 0;
        if (op.obj.counter != 0 && !read_actor(OpObjActor, op.obj.actor, actor_map))
            return false;
        if (op.is_map_op()) {
            uint64_t k = col(OpKey).uvarint();
            if (k == 0) {
                m_keys.emplace_back(col(OpKeyStr).str());
                op.key = m_keys.back();
            } else if (k <= m_keys.size()) {
                op.key = m_keys[k - 1];
            } else {
                return false;
            }
        } else {
            uint64_t v = col(OpElemCounter).uvarint();
            op.elem = {};
            if (v != 0) {
                uint64_t z = v - 1;
                int64_t d = static_cast<int64_t>((z >> 1) ^ (~(z & 1) + 1));
                op.elem.counter = m_last_elem + static_cast<uint64_t>(d);
                if (op.elem.counter == 0 || op.elem.counter >= counter)
                    return false;
                if (!read_actor(OpElemActor, op.elem.actor, actor_map))
                    return false;
            }
        }
        switch (op.action) {
        case OpAction::MapPut:
        case OpAction::ListInsert:
        case OpAction::ListPut:
            if (!next_scalar(op.value))
                return false;
            break;
        case OpAction::MapMake:
        case OpAction::ListInsertMake:
        case OpAction::ListMake: {
            uint8_t t = col(OpValKind).u8();
            if (t > static_cast<uint8_t>(ObjType::Text))
                return false;
            op.make = static_cast<ObjType>(t);
            break;
        }
        case OpAction::MapIncrement:
            op.by = col(OpValInt).svarint();
            break;
        case OpAction::TextInsert: {
            uint64_t n = col(OpLen).uvarint();
            if (n == 0 || n > col(OpText).remaining())
                return false;
            op.text.clear();
            // Take exactly n code points from the text column.
            ByteReader& t = col(OpText);
            auto rest = t.rest();
            size_t bytes = 0;
            for (uint64_t count = 0; count < n; ++count) {
                if (bytes >= rest.size())
                    return false;
                ++bytes;
                while (bytes < rest.size() && (rest[bytes] & 0xC0) == 0x80)
                    ++bytes;
            }
            auto b = t.raw(bytes);
            std::string_view utf8(reinterpret_cast<const char*>(b.data()), b.size());
            if (!utf8_decode(utf8, op.text) || op.text.size() != n)
                return false;
            break;
        }
        case OpAction::TextDelete: {
            uint64_t n = col(OpLen).uvarint();
            if (n == 0 || n > 0xffffffffu)
                return false;
            op.len = static_cast<uint32_t>(n);
            break;
        }
        default:
            break;
        }
        m_last_elem = touched_elem(op, counter, m_last_elem);
        op.pred.clear();
        if (op.has_pred()) {
            uint64_t n = col(OpPredCount).uvarint();
            if (n > col(OpPredCounter).remaining())
                return false;
            op.pred.resize(n);
            for (OpId& p : op.pred) {
                uint64_t back = col(OpPredCounter).uvarint();
                if (back == 0 || back > counter)
                    return false;
                p.counter = counter - back;
                if (!read_actor(OpPredActor, p.actor, actor_map))
                    return false;
            }
        }
        return true;
    }

private:
    bool next_scalar(Scalar& out) {
        uint8_t kind = col(OpValKind).u8();
        switch (kind) {
        case 0:
            out = Null{};
            break;
        case 1: {
            uint64_t b = col(OpValInt).uvarint();
            if (b > 1)
                return false;
            out = b == 1;
            break;
        }
        case 2:
            out = col(OpValInt).svarint();
            break;
        case 3:
            out = col(OpValInt).uvarint();
            break;
        case 4:
            out = std::bit_cast<double>(col(OpValF64).u64le());
            break;
        case 5: {
            uint64_t n = col(OpStrLen).uvarint();
            auto b = col(OpStrBytes).raw(n);
            out = std::string(reinterpret_cast<const char*>(b.data()), b.size());
            break;
        }
        case 6:
            out = Counter{col(OpValInt).svarint()};
            break;
        case 7:
            out = Timestamp{col(OpValInt).svarint()};
            break;
        default:
            return false;
        }
        return true;
    }

    std::vector<ByteReader> m_cols;
    std::vector<std::string> m_keys;
    uint64_t m_last_obj = 0;
    uint64_t m_last_elem = 0;
};

} // namespace

HeaderCheck check_header(std::span<const uint8_t> bytes) {
    size_t n = std::min(bytes.size(), kFileMagic.size());
    if (!std::equal(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n), kFileMagic.begin()))
        return HeaderCheck::Foreign;
    if (bytes.size() < kHeaderSize)
        return HeaderCheck::Torn;
    if (bytes[kFileMagic.size()] > kFormatVersion)
        return HeaderCheck::Newer;
    if (bytes[kFileMagic.size()] == 0)
        return HeaderCheck::Foreign;
    return HeaderCheck::Ours;
}

namespace {

// Deeper compression for small logs, where it is cheap; large logs favour
// saving time.
int zstd_level(size_t raw) {
    return raw <= (size_t(8) << 20) ? 12 : 9;
}

std::vector<uint8_t> encode_chunk(Document::Impl& d, uint32_t from, uint32_t to) {
    if (from < d.lazy_count)
        d.materialize();
    FileState fs;
    fs.max_op.resize(to);
    for (uint32_t i = 0; i < from; ++i) {
        const ChangeRecord& c = d.changes[i];
        if (fs.actor_seq.size() <= c.actor) {
            fs.actor_seq.resize(c.actor + 1, 0);
            fs.actor_max_op.resize(c.actor + 1, 0);
        }
        fs.actor_seq[c.actor] = c.seq;
        fs.actor_max_op[c.actor] = c.max_op;
        fs.max_op[i] = c.max_op;
    }
    fs.last_time = from > 0 ? d.changes[from - 1].time : 0;

    ChunkEncoder enc;
    for (uint32_t i = from; i < to; ++i) {
        auto c = decode_change(d.bytes_of(i), d.state.actors());
        if (!c)
            kavu::fatal("save change");
        enc.add(*c, i, d.deps_of(i), fs);
    }
    ByteWriter body;
    body.uvarint(from);
    const auto& actors = d.state.actors().ids();
    body.uvarint(actors.size());
    for (const ActorId& a : actors)
        body.raw(a.bytes.data(), a.bytes.size());
    body.uvarint(to - from);
    body.uvarint(d.heads.size());
    for (uint32_t h : d.heads) {
        body.uvarint(to - 1 - h);
        body.raw(d.changes[h].hash.bytes.data(), 32);
    }
    enc.finish(body);

    const auto& raw = body.bytes();
    ByteWriter payload;
    std::vector<uint8_t> packed(ZSTD_compressBound(raw.size()));
    size_t n = ZSTD_compress(packed.data(), packed.size(), raw.data(), raw.size(), zstd_level(raw.size()));
    if (ZSTD_isError(n) || n >= raw.size()) {
        payload.u8(kCompressionNone);
        payload.raw(raw.data(), raw.size());
    } else {
        payload.u8(kCompressionZstd);
        payload.uvarint(raw.size());
        payload.raw(packed.data(), n);
    }
    std::vector<uint8_t> out;
    append_chunk(out, kChunkChanges, payload.bytes());
    return out;
}

std::vector<uint8_t> file_header() {
    std::vector<uint8_t> out(kFileMagic.begin(), kFileMagic.end());
    out.push_back(kFormatVersion);
    return out;
}

// Reads the fixed part of a chunk body: first position, actors, change
// count and heads; leaves `r` at the columns.
struct ChunkHead {
    uint64_t first = 0;
    std::vector<uint32_t> actor_map;
    uint64_t changes = 0;
    std::vector<std::pair<uint64_t, ChangeHash>> heads; // (position, hash)
};

Result<ChunkHead> read_chunk_head(ByteReader& r, ActorTable& actors) {
    ChunkHead h;
    h.first = r.uvarint();
    uint64_t nactors = r.uvarint();
    if (!r.ok() || nactors > r.remaining() / 16)
        return make_error("truncated actor table");
    for (uint64_t i = 0; i < nactors; ++i) {
        ActorId a;
        auto b = r.raw(16);
        std::copy(b.begin(), b.end(), a.bytes.begin());
        h.actor_map.push_back(actors.intern(a));
    }
    h.changes = r.uvarint();
    uint64_t nheads = r.uvarint();
    if (!r.ok() || h.changes > r.remaining() || nheads > r.remaining() / 33 || (h.changes > 0 && nheads == 0))
        return make_error("bad change count");
    for (uint64_t i = 0; i < nheads; ++i) {
        uint64_t back = r.uvarint();
        ChangeHash hash;
        auto b = r.raw(32);
        std::copy(b.begin(), b.end(), hash.bytes.begin());
        if (!r.ok() || back >= h.first + h.changes)
            return make_error("bad heads");
        h.heads.emplace_back(h.first + h.changes - 1 - back, hash);
    }
    return h;
}

Result<std::vector<uint8_t>> chunk_body(std::span<const uint8_t> payload) {
    ByteReader p(payload);
    uint8_t compression = p.u8();
    if (!p.ok())
        return make_error("truncated chunk");
    if (compression == kCompressionNone) {
        auto rest = p.rest();
        return std::vector<uint8_t>(rest.begin(), rest.end());
    }
    if (compression != kCompressionZstd)
        return make_error("unknown compression");
    uint64_t size = p.uvarint();
    if (!p.ok() || size > kMaxChunkBody)
        return make_error("bad chunk size");
    auto packed = p.rest();
    unsigned long long declared = ZSTD_getFrameContentSize(packed.data(), packed.size());
    if (declared != size)
        return make_error("bad compressed chunk");
    std::vector<uint8_t> raw(size);
    size_t n = ZSTD_decompress(raw.data(), raw.size(), packed.data(), packed.size());
    if (ZSTD_isError(n) || n != size)
        return make_error("bad compressed chunk");
    return raw;
}

// Loads the chunks of a file into a document. Changes are applied as they
// are read; their canonical bytes and hashes are made later, on first need
// (Impl::materialize), from the chunk bodies kept for that.
class Loader {
public:
    explicit Loader(Document::Impl& d) : m_d(d) {}

    // Applies one chunk whole, or leaves the document as it was.
    Result<void> chunk(std::span<const uint8_t> payload) {
        size_t log_before = m_d.changes.size();
        FileState fs_before = m_fs;
        auto body = chunk_body(payload);
        if (!body)
            return body.error();
        auto r = apply_chunk(*body);
        if (!r) {
            m_d.truncate_log(log_before);
            m_fs = std::move(fs_before);
            return r;
        }
        if (m_d.lazy_count == m_d.changes.size())
            m_d.lazy_chunks.push_back(body.release_value());
        return r;
    }

private:
    Result<void> apply_chunk(std::span<const uint8_t> body) {
        ByteReader r(body);
        auto head = read_chunk_head(r, m_d.state.actors());
        if (!head)
            return head.error();
        if (head->first != m_d.changes.size() || m_d.lazy_count != m_d.changes.size())
            return make_error("chunk does not continue the file");
        ChunkDecoder dec;
        if (!dec.open(r))
            return make_error("bad column table");
        m_d.changes.reserve(m_d.changes.size() + head->changes);
        m_d.dep_indices.reserve(m_d.dep_indices.size() + head->changes);
        ChangeData c;
        Op op;
        std::vector<uint32_t> deps;
        for (uint64_t k = 0; k < head->changes; ++k) {
            uint32_t pos = static_cast<uint32_t>(m_d.changes.size());
            uint64_t nops = 0;
            if (!dec.begin_change(c, pos, deps, m_fs, head->actor_map, nops))
                return make_error("malformed change");
            // The decoder checked that sequence and op numbers continue the
            // actor's and the dependencies'.
            if (c.seq != m_d.actor_count(c.actor) + 1)
                return make_error("change out of sequence");
            // Operations are applied as they are decoded.
            uint64_t counter = c.start_op;
            for (uint64_t i = 0; i < nops; ++i) {
                if (!dec.next_op(op, counter, head->actor_map))
                    return make_error("malformed operation");
                if (!m_d.state.apply_taking(op, OpId{counter, c.actor}))
                    return make_error("change refers to an object or element that does not exist");
                counter += op.span();
                if (counter > (uint64_t(1) << 62))
                    return make_error("op number overflow");
            }
            if (!dec.end_change(c, counter - 1, pos, m_fs))
                return make_error("malformed change");
            m_d.record_loaded(c, counter - 1, deps);
        }
        if (!dec.all_consumed())
            return make_error("trailing column data");
        std::vector<uint64_t> stored;
        for (const auto& [pos, hash] : head->heads)
            stored.push_back(pos);
        std::vector<uint64_t> actual(m_d.heads.begin(), m_d.heads.end());
        std::sort(stored.begin(), stored.end());
        std::sort(actual.begin(), actual.end());
        if (stored != actual)
            return make_error("heads do not match the changes");
        for (const auto& [pos, hash] : head->heads)
            m_d.changes[pos].hash = hash;
        return {};
    }

    Document::Impl& m_d;
    FileState m_fs;
};

} // namespace

void Document::Impl::materialize() {
    if (lazy_count == 0) {
        lazy_chunks.clear();
        return;
    }
    FileState fs;
    uint32_t pos = 0;
    ChangeData c;
    std::vector<uint32_t> deps;
    std::vector<uint8_t> bytes;
    for (const auto& body : lazy_chunks) {
        ByteReader r(body);
        auto head = read_chunk_head(r, state.actors());
        ChunkDecoder dec;
        if (!head || !dec.open(r))
            kavu::fatal("reread chunk");
        for (uint64_t k = 0; k < head->changes; ++k, ++pos) {
            if (!dec.next(c, pos, deps, fs, head->actor_map))
                kavu::fatal("reread change");
            c.deps.clear();
            for (uint32_t dep : deps)
                c.deps.push_back(changes[dep].hash);
            std::sort(c.deps.begin(), c.deps.end());
            encode_change(c, state.actors(), bytes);
            ChangeRecord& rec = changes[pos];
            rec.hash = hash_bytes(bytes);
            rec.bytes_offset = change_bytes.size();
            rec.bytes_size = bytes.size();
            change_bytes.insert(change_bytes.end(), bytes.begin(), bytes.end());
            by_hash.insert(rec.hash, pos);
        }
    }
    if (pos != lazy_count)
        kavu::fatal("reread change count");
    lazy_chunks.clear();
    lazy_count = 0;
}

std::vector<uint8_t> Document::save() {
    Impl& d = *m_impl;
    d.commit(0, {});
    std::vector<uint8_t> out = file_header();
    auto chunk = encode_chunk(d, 0, static_cast<uint32_t>(d.changes.size()));
    out.insert(out.end(), chunk.begin(), chunk.end());
    d.saved = d.changes.size();
    d.file_bytes = out.size();
    return out;
}

std::vector<uint8_t> Document::save_incremental() {
    Impl& d = *m_impl;
    d.commit(0, {});
    if (d.saved >= d.changes.size())
        return {};
    auto out = encode_chunk(d, static_cast<uint32_t>(d.saved), static_cast<uint32_t>(d.changes.size()));
    d.saved = d.changes.size();
    if (d.file_bytes != 0)
        d.file_bytes += out.size();
    return out;
}

size_t Document::persisted_size() const {
    return m_impl->file_bytes;
}

Result<Document> Document::load(std::span<const uint8_t> bytes, LoadReport* report) {
    LoadReport local;
    LoadReport& rep = report ? *report : local;
    rep = LoadReport{};
    switch (check_header(bytes)) {
    case HeaderCheck::Foreign:
        return make_error("not a Kavu document");
    case HeaderCheck::Newer:
        return make_error("document format " + std::to_string(bytes[kFileMagic.size()]) +
                          " is newer than this program reads (" + std::to_string(kFormatVersion) + ")");
    case HeaderCheck::Torn: {
        if (bytes.empty())
            return Document();
        rep.truncated_tail = true;
        rep.tail_error = "file ends inside its header";
        return Document();
    }
    case HeaderCheck::Ours:
        break;
    }
    Document doc;
    // Actors are numbered as in the file, so that object ids of the document
    // that saved it stay valid; this replica's own actor comes after them.
    ActorId own = doc.actor_id();
    doc.m_impl = std::make_unique<Impl>(std::vector<ActorId>{}, std::nullopt);
    Impl& d = *doc.m_impl;
    Loader loader(d);
    size_t pos = kHeaderSize;
    rep.valid_bytes = pos;
    while (pos < bytes.size()) {
        auto rest = bytes.subspan(pos);
        if (rest.size() < kChunkHeader) {
            rep.tail_error = "torn chunk header";
            break;
        }
        uint8_t type = rest[0];
        ByteReader h(rest.subspan(1, 8));
        uint32_t size = h.u32le();
        uint32_t crc = h.u32le();
        if (size > rest.size() - kChunkHeader) {
            rep.tail_error = "torn chunk";
            break;
        }
        auto payload = rest.subspan(kChunkHeader, size);
        if (chunk_crc(type, rest.subspan(1, 4), payload) != crc) {
            rep.tail_error = "chunk checksum mismatch";
            break;
        }
        if (type != kChunkChanges) {
            rep.tail_error = "unknown chunk type";
            break;
        }
        if (auto r = loader.chunk(payload); !r) {
            rep.tail_error = "bad chunk: " + r.error_text();
            break;
        }
        pos += kChunkHeader + size;
        rep.valid_bytes = pos;
    }
    rep.truncated_tail = !rep.tail_error.empty();
    d.actor = d.state.actors().intern(own);
    d.saved = d.changes.size();
    d.file_bytes = rep.valid_bytes;
    return doc;
}

} // namespace crdt
