// The file format: round trips, incremental saves, torn and corrupt tails,
// foreign files, and the crash-safe file functions.

#include "doc_dump.h"

#include <crdt/file.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace crdt {
namespace {

using testing::actor;
using testing::dump;

void add_message(Document& doc, int i) {
    auto root = ObjId::root();
    auto list = doc.get(root, "msgs");
    ObjId l = list ? list->id : *doc.put_object(root, "msgs", ObjType::List);
    auto m = *doc.insert_object(l, doc.length(l), ObjType::Map);
    ASSERT_TRUE(doc.put(m, "id", "m_" + std::to_string(i)).ok());
    ASSERT_TRUE(doc.put(m, "ts", int64_t{1700000000} + i).ok());
    auto t = *doc.put_object(m, "text", ObjType::Text);
    ASSERT_TRUE(doc.splice_text(t, 0, 0, "message number " + std::to_string(i) + " ✓").ok());
    doc.commit(i, i % 2 ? "odd" : "");
}

TEST(Storage, SaveLoadRoundTripKeepsContentHeadsAndObjectIds) {
    Document doc(actor(1));
    for (int i = 0; i < 20; ++i)
        add_message(doc, i);
    Document other = doc.fork(actor(2));
    ASSERT_TRUE(other.put(ObjId::root(), "from", std::string("other")).ok());
    ASSERT_TRUE(doc.merge(other).ok());
    auto bytes = doc.save();
    LoadReport report;
    auto loaded = Document::load(bytes, &report);
    ASSERT_TRUE(loaded.ok()) << loaded.error_text();
    EXPECT_FALSE(report.truncated_tail);
    EXPECT_EQ(report.valid_bytes, bytes.size());
    EXPECT_EQ(dump(*loaded), dump(doc));
    EXPECT_EQ(loaded->heads(), doc.heads());
    EXPECT_EQ(loaded->clock(), doc.clock());
    EXPECT_NE(loaded->actor_id(), doc.actor_id());
    // An object id from before the save names the same object after it.
    auto list = doc.get(ObjId::root(), "msgs")->id;
    EXPECT_EQ(loaded->object_type(list), ObjType::List);
    EXPECT_EQ(loaded->length(list), 20u);
    // Its change log is byte for byte the same, hashes included.
    std::vector<uint8_t> all_loaded = loaded->changes_since(std::span<const ChangeHash>{});
    EXPECT_EQ(all_loaded, doc.changes_since(std::span<const ChangeHash>{}));
    // The loaded document keeps working: edits, and a second round trip.
    add_message(*loaded, 20);
    auto again = Document::load(loaded->save());
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(dump(*again), dump(*loaded));
}

TEST(Storage, LoadedDocumentCommitsRollsBackAndSyncs) {
    Document doc(actor(1));
    for (int i = 0; i < 5; ++i)
        add_message(doc, i);
    auto bytes = doc.save();
    // Commit on top of a loaded log, then sync with the original.
    auto loaded = Document::load(bytes);
    ASSERT_TRUE(loaded.ok());
    add_message(*loaded, 100);
    ASSERT_TRUE(doc.merge(*loaded).ok());
    EXPECT_EQ(doc.heads(), loaded->heads());
    EXPECT_EQ(dump(doc), dump(*loaded));
    // Roll back an edit on a freshly loaded document.
    auto again = Document::load(bytes);
    ASSERT_TRUE(again.ok());
    std::string before = dump(*again);
    ASSERT_TRUE(again->put(ObjId::root(), "x", int64_t{1}).ok());
    again->rollback();
    EXPECT_EQ(dump(*again), before);
    // A loaded document accepts changes from elsewhere.
    auto third = Document::load(bytes);
    ASSERT_TRUE(third.ok());
    ASSERT_TRUE(third->merge(doc).ok());
    EXPECT_EQ(third->heads(), doc.heads());
}

TEST(Storage, IncrementalChunksAppendToAWholeSave) {
    Document doc(actor(1));
    add_message(doc, 0);
    std::vector<uint8_t> file = doc.save();
    EXPECT_TRUE(doc.save_incremental().empty());
    for (int i = 1; i < 6; ++i) {
        add_message(doc, i);
        auto chunk = doc.save_incremental();
        ASSERT_FALSE(chunk.empty());
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(doc.persisted_size(), file.size());
    auto loaded = Document::load(file);
    ASSERT_TRUE(loaded.ok());
    EXPECT_EQ(dump(*loaded), dump(doc));
    EXPECT_EQ(loaded->heads(), doc.heads());
    // A document loaded from the file continues it.
    add_message(*loaded, 6);
    auto chunk = loaded->save_incremental();
    file.insert(file.end(), chunk.begin(), chunk.end());
    auto reloaded = Document::load(file);
    ASSERT_TRUE(reloaded.ok());
    EXPECT_EQ(dump(*reloaded), dump(*loaded));
}

TEST(Storage, TruncationAtEveryByteLoadsAValidPrefix) {
    Document doc(actor(1));
    add_message(doc, 0);
    std::vector<uint8_t> file = doc.save();
    std::vector<std::pair<size_t, std::string>> checkpoints{{file.size(), dump(doc)}};
    for (int i = 1; i < 4; ++i) {
        add_message(doc, i);
        auto chunk = doc.save_incremental();
        file.insert(file.end(), chunk.begin(), chunk.end());
        checkpoints.emplace_back(file.size(), dump(doc));
    }
    for (size_t cut = 0; cut <= file.size(); ++cut) {
        LoadReport report;
        auto loaded = Document::load(std::span(file).first(cut), &report);
        ASSERT_TRUE(loaded.ok()) << cut;
        // The newest checkpoint that fits is what loads.
        std::string expected = "{}";
        size_t valid = cut < 8 ? 0 : 8;
        for (const auto& [end, content] : checkpoints) {
            if (end <= cut) {
                expected = content;
                valid = end;
            }
        }
        EXPECT_EQ(dump(*loaded), expected) << cut;
        EXPECT_EQ(report.valid_bytes, valid) << cut;
        EXPECT_EQ(report.truncated_tail, cut != valid) << cut;
    }
}

TEST(Storage, CorruptTailIsDroppedAndReported) {
    Document doc(actor(1));
    add_message(doc, 0);
    std::vector<uint8_t> file = doc.save();
    size_t first = file.size();
    std::string first_dump = dump(doc);
    add_message(doc, 1);
    auto chunk = doc.save_incremental();
    file.insert(file.end(), chunk.begin(), chunk.end());
    for (size_t i = first; i < file.size(); ++i) {
        auto copy = file;
        copy[i] ^= 0x01;
        LoadReport report;
        auto loaded = Document::load(copy, &report);
        ASSERT_TRUE(loaded.ok());
        EXPECT_TRUE(report.truncated_tail) << i;
        EXPECT_EQ(report.valid_bytes, first) << i;
        EXPECT_FALSE(report.tail_error.empty());
        EXPECT_EQ(dump(*loaded), first_dump) << i;
    }
}

TEST(Storage, ForeignAndNewerFilesAreErrors) {
    Document doc(actor(1));
    add_message(doc, 0);
    auto file = doc.save();
    std::string png = "\x89PNG\r\n\x1a\n and more";
    auto r1 = Document::load(std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
    ASSERT_FALSE(r1.ok());
    EXPECT_NE(r1.error_text().find("not a Kavu document"), std::string::npos);
    auto newer = file;
    newer[7] = 2;
    auto r2 = Document::load(newer);
    ASSERT_FALSE(r2.ok());
    EXPECT_NE(r2.error_text().find("newer"), std::string::npos);
}

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kavu-crdt-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

TEST_F(FileTest, SaveAppendLoad) {
    auto path = m_dir / (std::string("workspace.") + std::string(kFileExtension));
    Document doc(actor(1));
    add_message(doc, 0);
    ASSERT_TRUE(save_file(path, doc).ok());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (int i = 1; i < 4; ++i) {
        add_message(doc, i);
        ASSERT_TRUE(append_changes(path, doc).ok());
    }
    auto loaded = load_file(path);
    ASSERT_TRUE(loaded.ok()) << loaded.error_text();
    EXPECT_FALSE(loaded->report.truncated_tail);
    EXPECT_EQ(dump(loaded->doc), dump(doc));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
}

TEST_F(FileTest, AppendAfterATornTailRewritesTheFile) {
    auto path = m_dir / "doc.kdoc";
    Document doc(actor(1));
    add_message(doc, 0);
    ASSERT_TRUE(save_file(path, doc).ok());
    add_message(doc, 1);
    ASSERT_TRUE(append_changes(path, doc).ok());
    // A crash tore the last append.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 3);
    auto loaded = load_file(path);
    ASSERT_TRUE(loaded.ok());
    EXPECT_TRUE(loaded->report.truncated_tail);
    Document& d = loaded->doc;
    EXPECT_EQ(d.length(d.get(ObjId::root(), "msgs")->id), 1u);
    add_message(d, 2);
    ASSERT_TRUE(append_changes(path, d).ok());
    auto again = load_file(path);
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again->report.truncated_tail);
    EXPECT_EQ(dump(again->doc), dump(d));
}

TEST_F(FileTest, ForeignFileIsNeverOverwritten) {
    auto path = m_dir / "notes.kdoc";
    {
        std::ofstream out(path);
        out << "my precious notes";
    }
    Document doc(actor(1));
    add_message(doc, 0);
    auto r = save_file(path, doc);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error_text().find("not a Kavu document"), std::string::npos);
    EXPECT_FALSE(append_changes(path, doc).ok());
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "my precious notes");
    EXPECT_FALSE(load_file(path).ok());
    EXPECT_FALSE(load_file(m_dir / "missing.kdoc").ok());
}

} // namespace
} // namespace crdt
