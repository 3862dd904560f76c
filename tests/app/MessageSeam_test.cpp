#include "MessageSeam.h"
#include "UtilFuncs.h"

#include <gtest/gtest.h>

using namespace quillor;

TEST(MessageSeam, QuestionsAndNoticesCarryTheTitleButtonsAndType)
{
    QList<MessageRequest> seen;
    MessageButton answer = MessageButton::No;
    ScopedMessageHandler scope([&](const MessageRequest &r) {
        seen.append(r);
        return answer;
    });

    EXPECT_FALSE(MessageSeam::ask(QStringLiteral("Are you sure to quit now?")));
    answer = MessageButton::Yes;
    EXPECT_TRUE(MessageSeam::ask(QStringLiteral("Are you sure to quit now?")));
    answer = MessageButton::Cancel;   // anything but Yes is not Yes
    EXPECT_FALSE(MessageSeam::ask(QStringLiteral("Are you sure to cancel?")));
    MessageSeam::notify(QStringLiteral("Please add the video files you want to convert"));

    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen[0].caption, QStringLiteral("Quillor"));
    EXPECT_EQ(seen[0].type, MessageType::Confirmation);
    EXPECT_EQ(seen[0].buttons, (QList<MessageButton>{MessageButton::Yes, MessageButton::No}));
    EXPECT_EQ(seen[3].type, MessageType::Information);
    EXPECT_EQ(seen[3].buttons, QList<MessageButton>{MessageButton::OK});
    EXPECT_EQ(seen[3].text, QStringLiteral("Please add the video files you want to convert"));
}

TEST(MessageSeam, ShowMessageDialogPassesItsOwnCaptionAndLabels)
{
    MessageRequest got;
    ScopedMessageHandler scope([&](const MessageRequest &r) {
        got = r;
        return MessageButton::Cancel;
    });
    EXPECT_EQ(ShowMessageDialog(QStringLiteral("Really delete log file?"), QStringLiteral("Delete log?"),
                                MessageType::Confirmation,
                                {MessageButton::Yes, MessageButton::No, MessageButton::Cancel},
                                {QStringLiteral("&Delete")}),
              MessageButton::Cancel);
    EXPECT_EQ(got.caption, QStringLiteral("Delete log?"));
    EXPECT_EQ(got.buttons.size(), 3);
    EXPECT_EQ(got.buttonCaptions, QStringList{QStringLiteral("&Delete")});
}

TEST(MessageSeam, ScopedHandlersNestAndRestore)
{
    int outer = 0, inner = 0;
    ScopedMessageHandler a([&](const MessageRequest &) { ++outer; return MessageButton::OK; });
    {
        ScopedMessageHandler b([&](const MessageRequest &) { ++inner; return MessageButton::OK; });
        MessageSeam::notify(QStringLiteral("one"));
    }
    MessageSeam::notify(QStringLiteral("two"));
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, 1);
}
