#include "actions/action_presentation.h"
#include "actions/fresh_id.h"

#include <gtest/gtest.h>

namespace chat {
namespace {

using A = ChatAction;

TEST(ActionPresentation, LabelsKindsAndIds) {
    struct Case {
        ChatAction action;
        ActionPresentation expected;
    };
    const Case cases[] = {
        {{A::SendMessage{.channel = "c", .id = "m"}}, {"Send message", "chat.message", "m"}},
        {{A::EditMessage{.id = "m"}}, {"Edit message", "chat.message", "m"}},
        {{A::DeleteMessage{.id = "m"}}, {"Delete message", "chat.message", "m"}},
        {{A::AddReaction{.msg = "m"}}, {"Add reaction", "chat.message", "m"}},
        {{A::RemoveReaction{.msg = "m"}}, {"Remove reaction", "chat.message", "m"}},
        {{A::PinMessage{.msg = "m", .pinned = true}}, {"Pin message", "chat.message", "m"}},
        {{A::PinMessage{.msg = "m", .pinned = false}}, {"Unpin message", "chat.message", "m"}},
        {{A::CreateChannel{.id = "c"}}, {"Create channel", "chat.channel", "c"}},
        {{A::CreateCategory{.id = "k"}}, {"Create category", "chat.category", "k"}},
        {{A::RenameCategory{.id = "k"}}, {"Rename category", "chat.category", "k"}},
        {{A::DeleteCategory{.id = "k"}}, {"Delete category", "chat.category", "k"}},
        {{A::SetCategoryCollapsed{.id = "k", .collapsed = true}},
         {"Collapse category", "chat.category", "k"}},
        {{A::SetCategoryCollapsed{.id = "k", .collapsed = false}}, {"Expand category", "chat.category", "k"}},
        {{A::ReorderChannel{.id = "c", .up = true}}, {"Move channel up", "chat.channel", "c"}},
        {{A::ReorderChannel{.id = "c", .up = false}}, {"Move channel down", "chat.channel", "c"}},
        {{A::RenameChannel{.id = "c"}}, {"Rename channel", "chat.channel", "c"}},
        {{A::DeleteChannel{.id = "c"}}, {"Delete channel", "chat.channel", "c"}},
        {{A::ArchiveChannel{.id = "c", .archived = true}}, {"Archive channel", "chat.channel", "c"}},
        {{A::ArchiveChannel{.id = "c", .archived = false}}, {"Unarchive channel", "chat.channel", "c"}},
        {{A::MarkRead{.channel = "c"}}, {"Mark channel read", "chat.channel", "c"}},
        {{A::SetAgentWork{.msg = "m"}}, {"Update agent work", "chat.message", "m"}},
        {{A::JoinCall{.channel = "c"}}, {"Join call", "chat.call", "c"}},
        {{A::LeaveCall{.channel = "c"}}, {"Leave call", "chat.call", "c"}},
        {{A::SetCallState{.channel = "c"}}, {"Update call state", "chat.call", "c"}},
        {{A::SetScreenShare{.channel = "c", .sharing = true}}, {"Start presenting", "chat.call", "c"}},
        {{A::SetScreenShare{.channel = "c", .sharing = false}}, {"Stop presenting", "chat.call", "c"}},
        {{A::SetCallTicket{.channel = "c"}}, {"Update call connection", "chat.call", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.label);
        EXPECT_EQ(present_action(c.action), c.expected);
        bool destructive = c.expected.label.rfind("Delete ", 0) == 0;
        EXPECT_EQ(is_destructive(c.action), destructive);
    }
}

TEST(ActionPresentation, DisplayNamesAndAddresses) {
    EXPECT_EQ(resource_display_name("chat.message", "m_1"), "Message");
    EXPECT_EQ(resource_display_name("chat.channel", "c_1"), "c_1");
    EXPECT_EQ(resource_address("chat.call", "c_1"), "chat.call:c_1");
}

TEST(FreshId, PrefixAndVersion4Uuid) {
    std::string id = fresh_id("m_");
    ASSERT_EQ(id.size(), 34u);
    EXPECT_EQ(id.substr(0, 2), "m_");
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef", 2), std::string::npos);
    EXPECT_EQ(id[2 + 12], '4');
    EXPECT_NE(std::string("89ab").find(id[2 + 16]), std::string::npos);
    EXPECT_NE(fresh_id("m_"), id);
}

} // namespace
} // namespace chat
