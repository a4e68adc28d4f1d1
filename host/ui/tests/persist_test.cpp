#include <ui/app.h>
#include <ui/persist.h>

#include <crdt/file.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace kavu::ui;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class PersistTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root =
            fs::temp_directory_path() / ("kavu-persist-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path file() const { return m_root / "data" / "kavu-chat" / "workspace.kdoc"; }

    static std::optional<std::string> read_key(crdt::Document& doc, const std::string& key) {
        auto value = doc.get(crdt::ObjId::root(), key);
        if (!value || !value->str())
            return std::nullopt;
        return *value->str();
    }
    static void put(crdt::Document& doc, const std::string& key, const std::string& value) {
        ASSERT_TRUE(doc.put(crdt::ObjId::root(), key, crdt::Scalar(value)));
        doc.commit();
    }
    static std::vector<char> bytes_of(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::vector<fs::path> backups() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(file().parent_path())) {
            if (entry.path().filename().string().find(".damaged-") != std::string::npos)
                found.push_back(entry.path());
        }
        return found;
    }

    fs::path m_root;
    persist::Options m_options{.save_delay = 400ms};
};

mode_t mode_of(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST_F(PersistTest, InMemoryDocumentHasNoFile) {
    auto doc = persist::open("test", m_options);
    ASSERT_TRUE(doc);
    EXPECT_FALSE((*doc)->path());
    put((*doc)->doc(), "k", "v");
    EXPECT_TRUE((*doc)->has_unsaved_changes());
    EXPECT_TRUE((*doc)->tick(Instant{} + 10s));
    EXPECT_FALSE((*doc)->tick(Instant{} + 11s));
    EXPECT_FALSE((*doc)->has_unsaved_changes());
}

TEST_F(PersistTest, CreatesPrivateDirectoryAndFile) {
    {
        auto doc = persist::open_migrating("test", m_options, file());
        ASSERT_TRUE(doc) << doc.error_text();
        EXPECT_TRUE((*doc)->open_report().created);
        put((*doc)->doc(), "greeting", "hello");
    } // dropping the document saves it
    EXPECT_EQ(mode_of(file().parent_path()), 0700u);
    EXPECT_EQ(mode_of(file().parent_path().parent_path()), 0700u);
    EXPECT_EQ(mode_of(file()), 0600u);

    auto again = persist::open_migrating("test", m_options, file());
    ASSERT_TRUE(again) << again.error_text();
    EXPECT_FALSE((*again)->open_report().created);
    EXPECT_TRUE((*again)->open_report().warning.empty());
    EXPECT_EQ(read_key((*again)->doc(), "greeting"), "hello");
}

TEST_F(PersistTest, SavesChangesShortlyAfterTheyHappen) {
    auto opened = persist::open_migrating("test", m_options, file());
    ASSERT_TRUE(opened);
    auto& doc = **opened;
    Instant t0 = Instant{} + 100s;
    EXPECT_FALSE(doc.tick(t0));
    auto size_before = fs::file_size(file());

    put(doc.doc(), "a", "1");
    auto deadline = doc.tick(t0);
    ASSERT_TRUE(deadline);
    EXPECT_EQ(*deadline, t0 + m_options.save_delay);
    // A burst of edits inside the delay is saved once, when the delay is over.
    put(doc.doc(), "b", "2");
    EXPECT_TRUE(doc.tick(t0 + 200ms));
    EXPECT_EQ(fs::file_size(file()), size_before);
    EXPECT_FALSE(doc.tick(t0 + 400ms));
    EXPECT_GT(fs::file_size(file()), size_before);
    EXPECT_FALSE(doc.has_unsaved_changes());

    // An uncommitted edit counts as a change too and is committed by the save.
    ASSERT_TRUE(doc.doc().put(crdt::ObjId::root(), "draft", crdt::Scalar(std::string("typing"))));
    EXPECT_TRUE(doc.tick(t0 + 1s));
    EXPECT_FALSE(doc.tick(t0 + 2s));

    auto reloaded = crdt::load_file(file());
    ASSERT_TRUE(reloaded);
    EXPECT_EQ(read_key(reloaded->doc, "b"), "2");
    EXPECT_EQ(read_key(reloaded->doc, "draft"), "typing");
}

// A crash can cut the file anywhere inside the last append. Whatever the cut,
// opening keeps every change that was completely written and never loses the
// damaged original.
TEST_F(PersistTest, RecoversFromATornAppendAtEveryLength) {
    uintmax_t base_size = 0;
    {
        auto opened = persist::open_migrating("test", m_options, file());
        ASSERT_TRUE(opened);
        put((*opened)->doc(), "first", "kept");
        ASSERT_TRUE((*opened)->flush());
        base_size = fs::file_size(file());
        put((*opened)->doc(), "second", "maybe");
    }
    std::vector<char> full = bytes_of(file());
    ASSERT_GT(full.size(), base_size);
    fs::path scratch = m_root / "scratch";
    for (size_t cut = base_size; cut < full.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        fs::remove_all(file().parent_path());
        fs::create_directories(file().parent_path());
        {
            std::ofstream out(file(), std::ios::binary);
            out.write(full.data(), static_cast<std::streamsize>(cut));
        }
        auto opened = persist::open_migrating("test", m_options, file());
        ASSERT_TRUE(opened) << opened.error_text();
        EXPECT_EQ(read_key((*opened)->doc(), "first"), "kept");
        if (cut > base_size) {
            // The torn tail was moved aside byte for byte and the file rewritten.
            ASSERT_EQ(backups().size(), 1u);
            EXPECT_EQ(bytes_of(backups()[0]), std::vector<char>(full.begin(), full.begin() + cut));
            EXPECT_FALSE((*opened)->open_report().warning.empty());
        }
        opened->reset();
        auto clean = persist::open_migrating("test", m_options, file());
        ASSERT_TRUE(clean) << clean.error_text();
        EXPECT_TRUE((*clean)->open_report().warning.empty());
        EXPECT_EQ(read_key((*clean)->doc(), "first"), "kept");
    }
}

TEST_F(PersistTest, MovesAnUnreadableFileAsideInsteadOfOverwritingIt) {
    fs::create_directories(file().parent_path());
    const std::string garbage = "this is not a document, but it is somebody's data";
    {
        std::ofstream out(file(), std::ios::binary);
        out << garbage;
    }
    auto opened = persist::open_migrating("test", m_options, file());
    ASSERT_TRUE(opened) << opened.error_text();
    ASSERT_TRUE((*opened)->open_report().backup);
    EXPECT_FALSE((*opened)->open_report().warning.empty());
    auto kept = bytes_of(*(*opened)->open_report().backup);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), garbage);
    EXPECT_TRUE(crdt::load_file(file()));

    // A second damaged file gets its own backup name.
    opened->reset();
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out << "more damage";
    }
    ASSERT_TRUE(persist::open_migrating("test", m_options, file()));
    EXPECT_EQ(backups().size(), 2u);
}
