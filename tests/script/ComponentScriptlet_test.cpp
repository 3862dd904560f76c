// The "Form" object: a window's named widgets and their properties.
#include "ComponentScriptlet.h"
#include "ScriptHarness.h"

#include <gtest/gtest.h>

#include <QObject>

using namespace quillor;
using quillor::test::ScriptHarness;

namespace {

class FakeLabel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER caption)
    Q_PROPERTY(Shape shape MEMBER shape)
    Q_PROPERTY(Qt::Alignment alignment MEMBER alignment)
    Q_PROPERTY(int width READ width)
public:
    enum Shape { shFlat, shRaised, shSunken };
    Q_ENUM(Shape)

    using QObject::QObject;
    int width() const { return 120; }

    QString caption = QStringLiteral("Quillor");
    Shape shape = shRaised;
    Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignBottom;
};

// A window with a label inside a panel, as widgets sit inside layouts.
struct FormFixture {
    QObject window;
    QObject *panel = new QObject(&window);
    FakeLabel *label = new FakeLabel(panel);
    ScriptHarness h;

    FormFixture()
    {
        window.setObjectName("FormMain");
        panel->setObjectName("PanelTop");
        label->setObjectName("LabelTitle");
        h.script.AddScriptlet(TComponentScriptlet::Create(&window, "Form"));
    }
};

} // namespace

TEST(ComponentScriptlet, ReadsNamedWidgetsAndTheirProperties)
{
    FormFixture f;
    f.h.Run("Host.Echo(Form.LabelTitle.Caption);\n"
            "Host.Echo(form.labeltitle.caption);\n"       // names without regard to case
            "Host.Echo(Form.PanelTop.LabelTitle.width);\n" // and through the panel
            "Host.Echo(Form.LabelTitle.shape);\n"
            "Host.Echo(Form.LabelTitle.alignment);\n"
            "Host.Echo(Form.objectName);\n"
            "Host.Echo(typeof Form.NoSuchThing);");
    EXPECT_TRUE(f.h.errors.empty()) << f.h.FirstErrorMessage().toStdString();
    EXPECT_EQ(f.h.echoes, (QStringList{"Quillor", "Quillor", "120", "shRaised", "AlignHCenter|AlignBottom",
                                       "FormMain", "undefined"}));
}

TEST(ComponentScriptlet, WritesProperties)
{
    FormFixture f;
    f.h.Run("Form.LabelTitle.Caption = 'Downloading';\n"
            "Form.LabelTitle.Shape = 'shSunken';\n"
            "Form.LabelTitle = 'ignored';");
    EXPECT_TRUE(f.h.errors.empty()) << f.h.FirstErrorMessage().toStdString();
    EXPECT_EQ(f.label->caption, "Downloading");
    EXPECT_EQ(f.label->shape, FakeLabel::shSunken);
    EXPECT_EQ(f.label->objectName(), "LabelTitle");
}

TEST(ComponentScriptlet, WritesThatCannotBeDoneAreScriptErrors)
{
    const char *const writes[] = {
        "Form.LabelTitle.width = 5;",    // read-only
        "Form.LabelTitle.NoSuchThing = 5;",
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
    f.h.host->OnEcho = [&](THostScriptlet &, const QString &) { delete f.label; };
    f.h.Run("var label = Form.LabelTitle;\n"
            "Host.Echo('delete it');\n"
            "Host.Alert(typeof label.Caption);");
    EXPECT_TRUE(f.h.errors.empty()) << f.h.FirstErrorMessage().toStdString();
    EXPECT_EQ(f.h.alerts, QStringList{"undefined"});
}

// What scripts cannot express: several names at once, a member used the
// wrong way, a write without a value.
TEST(ComponentScriptlet, DispatchRefusals)
{
    QObject window;
    FakeLabel label(&window);
    label.setObjectName("LabelTitle");
    ScriptletPtr form = TComponentScriptlet::Create(&window, "Form");
    ScriptletPtr host = std::make_shared<THostScriptlet>();

    int id = 0;
    EXPECT_FALSE(form->GetIDsOfNames({"LabelTitle", "Caption"}, id));
    EXPECT_FALSE(form->GetIDsOfNames({}, id));
    ASSERT_TRUE(form->GetIDOfName("labeltitle", id));
    EXPECT_LT(id, 0);
    EXPECT_EQ(form->Properties(), QStringList{"LABELTITLE"});

    QVariant result;
    EXPECT_EQ(form->Invoke(id, dfPropertyPut, {}, result), TDispatchResult::drBadParamCount);
    EXPECT_EQ(form->Invoke(id, dfMethod, {}, result), TDispatchResult::drBadIndex);
    EXPECT_EQ(form->Invoke(id, dfPropertyGet | dfPropertyPut, {}, result), TDispatchResult::drBadIndex);
    EXPECT_EQ(form->Invoke(id, dfPropertyGet, {}, result), TDispatchResult::drOk);
    EXPECT_EQ(result.value<ScriptletPtr>()->Name(), "LabelTitle");

    ASSERT_TRUE(host->GetIDOfName("writetext", id));
    EXPECT_EQ(id, TScriptlet::MethodIdBase + 4);
    EXPECT_EQ(host->Invoke(id, dfPropertyGet, {}, result), TDispatchResult::drBadIndex);
    EXPECT_EQ(host->Invoke(id, dfMethod | dfPropertyGet, {}, result), TDispatchResult::drOk);
}

#include "ComponentScriptlet_test.moc"
