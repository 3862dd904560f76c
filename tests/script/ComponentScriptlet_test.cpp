// The "Form" object: a window's named widgets and their properties.
#include "ComponentScriptlet.h"
#include "ScriptHarness.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QTimer>

using namespace quillor;
using quillor::test::ScriptHarness;

namespace {

// A window with a timer inside a panel, as widgets sit inside layouts.
struct FormFixture {
    QObject window;
    QObject *panel = new QObject(&window);
    QTimer *timer = new QTimer(panel);
    ScriptHarness h;

    FormFixture()
    {
        window.setObjectName("FormMain");
        panel->setObjectName("PanelTop");
        timer->setObjectName("TimerRetry");
        timer->setInterval(1500);
        timer->setTimerType(Qt::CoarseTimer);
        h.script.AddScriptlet(TComponentScriptlet::Create(&window, "Form"));
    }
};

} // namespace

TEST(ComponentScriptlet, ReadsNamedWidgetsAndTheirProperties)
{
    FormFixture f;
    f.h.Run("Host.Echo(Form.TimerRetry.interval);\n"
            "Host.Echo(form.timerretry.INTERVAL);\n"           // names without regard to case
            "Host.Echo(Form.PanelTop.TimerRetry.singleShot);\n" // and through the panel
            "Host.Echo(Form.TimerRetry.timerType);\n"
            "Host.Echo(Form.objectName);\n"
            "Host.Echo(typeof Form.NoSuchThing);");
    EXPECT_TRUE(f.h.errors.empty()) << f.h.FirstErrorMessage().toStdString();
    EXPECT_EQ(f.h.echoes,
              (QStringList{"1500", "1500", "false", "CoarseTimer", "FormMain", "undefined"}));
}

TEST(ComponentScriptlet, WritesProperties)
{
    FormFixture f;
    f.h.Run("Form.TimerRetry.Interval = 250;\n"
            "Form.TimerRetry.timerType = 'PreciseTimer';\n"
            "Form.TimerRetry.objectName = 'TimerRenamed';\n"
            "Form.PanelTop = 'ignored';");
    EXPECT_TRUE(f.h.errors.empty()) << f.h.FirstErrorMessage().toStdString();
    EXPECT_EQ(f.timer->interval(), 250);
    EXPECT_EQ(f.timer->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(f.timer->objectName(), "TimerRenamed");
    EXPECT_EQ(f.panel->objectName(), "PanelTop");
}

TEST(ComponentScriptlet, WritesThatCannotBeDoneAreScriptErrors)
{
    const char *const writes[] = {
        "Form.TimerRetry.active = true;", // read-only
        "Form.TimerRetry.NoSuchThing = 5;",
        "Host.Echo = 5;",                // a method
    };
    for (const char *text : writes) {
        SCOPED_TRACE(text);
        FormFixture f;
        f.h.Run(QStringLiteral("\n") + QString::fromLatin1(text));
        ASSERT_EQ(f.h.errors.size(), 1u);
        EXPECT_EQ(f.h.errors[0].Line, 1u);
    }
}

TEST(ComponentScriptlet, ADestroyedWidgetHasNoMembers)
{
    FormFixture f;
    f.h.host->OnEcho = [&](THostScriptlet &, const QString &) { delete f.timer; };
    f.h.Run("var timer = Form.TimerRetry;\n"
            "Host.Echo('delete it');\n"
            "Host.Alert(typeof timer.interval);");
    EXPECT_TRUE(f.h.errors.empty()) << f.h.FirstErrorMessage().toStdString();
    EXPECT_EQ(f.h.alerts, QStringList{"undefined"});
}

// What scripts cannot express: several names at once, a member used the
// wrong way, a write without a value.
TEST(ComponentScriptlet, DispatchRefusals)
{
    QObject window;
    QTimer timer(&window);
    timer.setObjectName("TimerRetry");
    ScriptletPtr form = TComponentScriptlet::Create(&window, "Form");
    ScriptletPtr host = std::make_shared<THostScriptlet>();

    int id = 0;
    EXPECT_FALSE(form->GetIDsOfNames({"TimerRetry", "interval"}, id));
    EXPECT_FALSE(form->GetIDsOfNames({}, id));
    ASSERT_TRUE(form->GetIDOfName("timerretry", id));
    EXPECT_LT(id, 0);
    EXPECT_EQ(form->Properties(), QStringList{"TIMERRETRY"});

    QVariant result;
    EXPECT_EQ(form->Invoke(id, dfPropertyPut, {}, result), TDispatchResult::drBadParamCount);
    EXPECT_EQ(form->Invoke(id, dfMethod, {}, result), TDispatchResult::drBadIndex);
    EXPECT_EQ(form->Invoke(id, dfPropertyGet | dfPropertyPut, {}, result), TDispatchResult::drBadIndex);
    EXPECT_EQ(form->Invoke(id, dfPropertyGet, {}, result), TDispatchResult::drOk);
    EXPECT_EQ(result.value<ScriptletPtr>()->Name(), "TimerRetry");

    ASSERT_TRUE(host->GetIDOfName("writetext", id));
    EXPECT_EQ(id, TScriptlet::MethodIdBase + 4);
    EXPECT_EQ(host->Invoke(id, dfPropertyGet, {}, result), TDispatchResult::drBadIndex);
    EXPECT_EQ(host->Invoke(id, dfMethod | dfPropertyGet, {}, result), TDispatchResult::drOk);
}
