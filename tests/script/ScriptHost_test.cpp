#include "ScriptHarness.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quillor;
using quillor::test::ScriptHarness;

TEST(ScriptHost, EchoCallsArriveInOrderBeforeRunReturns)
{
    ScriptHarness h;
    h.Run("Host.Echo('first');\nvar n = 2;\nHost.Echo('second ' + n);");
    EXPECT_EQ(h.echoes, (QStringList{"first", "second 2"}));
    EXPECT_TRUE(h.errors.empty());
}

TEST(ScriptHost, EventsOfACleanRunInOrder)
{
    ScriptHarness h;
    h.Run("Host.Echo('x');");
    // initialized, started, enter, the script's own calls, leave, connected
    EXPECT_EQ(h.events, (QStringList{"state 1", "state 2", "enter", "echo:x", "leave", "state 3"}));
    h.events.clear();
    h.script.Close();
    EXPECT_EQ(h.events, QStringList{"state 5"});
    h.events.clear();
    h.script.Close(); // nothing left to close
    EXPECT_TRUE(h.events.isEmpty());
}

// Every Host method wants exactly its own number of arguments; any other
// count does nothing and is no error.
TEST(ScriptHost, WrongArgumentCountsDoNothing)
{
    const char *const calls[] = {
        "Host.Echo()",
        "Host.Echo('a', 'b')",
        "Host.Alert()",
        "Host.Alert(1, 2, 3)",
        "Host.Echo(Host.ReadText())",
        "Host.Echo(Host.ReadText('a', 'b'))",
        "Host.WriteText('only-a-name')",
        "Host.Echo(Host.CreateObject())",
    };
    for (const char *call : calls) {
        SCOPED_TRACE(call);
        ScriptHarness h;
        h.Run(QString::fromLatin1(call) + ";\nHost.Echo('after');");
        EXPECT_TRUE(h.errors.empty()) << h.FirstErrorMessage().toStdString();
        EXPECT_TRUE(h.alerts.isEmpty());
        // A result-returning call with a wrong count gives undefined, which
        // Echo takes as an empty text.
        const QStringList expected = QString::fromLatin1(call).startsWith("Host.Echo(Host.")
                                         ? QStringList{"", "after"}
                                         : QStringList{"after"};
        EXPECT_EQ(h.echoes, expected);
    }
}

TEST(ScriptHost, ArgumentsAreTakenAsText)
{
    ScriptHarness h;
    h.Run("Host.Echo(42); Host.Echo(1.5); Host.Echo(true); Host.Echo(undefined); Host.Echo(null);"
          " Host.Echo([1, 2]); Host.Alert('a' + 'b');");
    EXPECT_EQ(h.echoes, (QStringList{"42", "1.5", "true", "", "", "1,2"}));
    EXPECT_EQ(h.alerts, QStringList{"ab"});

    // An object that has no text is the script's error, not a wrong text.
    ScriptHarness bad;
    bad.Run("Host.Echo('before');\nHost.Echo({toString: function() { throw new Error('no text'); }});");
    EXPECT_EQ(bad.echoes, QStringList{"before"});
    ASSERT_EQ(bad.errors.size(), 1u);
    EXPECT_EQ(bad.errors[0].Line, 1u);
    EXPECT_TRUE(bad.errors[0].Description.contains("no text"));
}

TEST(ScriptHost, MemberAndObjectNamesInOtherCases)
{
    const char *const calls[] = {"host.echo('x')", "Host.ECHO('x')", "Host.eChO('x')", "host.Echo('x')"};
    for (const char *call : calls) {
        SCOPED_TRACE(call);
        ScriptHarness h;
        h.Run(QString::fromLatin1(call));
        EXPECT_EQ(h.echoes, QStringList{"x"});
        EXPECT_TRUE(h.errors.empty()) << h.FirstErrorMessage().toStdString();
    }
}

TEST(ScriptHost, UnknownMembersAreScriptErrors)
{
    ScriptHarness h;
    h.Run("Host.Echo(typeof Host.Nothing);\nHost.Nothing('x');\nHost.Echo('not reached');");
    EXPECT_EQ(h.echoes, QStringList{"undefined"});
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].Line, 1u);
}

TEST(ScriptHost, SyntaxErrorOnTheThirdLine)
{
    ScriptHarness h;
    h.script.SetLines({"Host.Echo('never');", "var a = 1;", "var b = (a;", "var c = 3;"});
    h.script.Run();
    EXPECT_TRUE(h.echoes.isEmpty()); // nothing of a text that does not compile runs
    ASSERT_EQ(h.errors.size(), 1u);
    const TScriptError &error = h.errors[0];
    EXPECT_EQ(error.Line, 2u);
    EXPECT_EQ(error.Column, 10);
    EXPECT_EQ(error.Error, "SyntaxError");
    EXPECT_FALSE(error.Description.isEmpty());
    EXPECT_EQ(FormatScriptErrorMessage(error), "Error: Line number 3, " + error.Description);
    EXPECT_FALSE(h.events.contains("state 3")) << "a text that does not compile never connects";
}

TEST(ScriptHost, RunTimeErrorsGiveTheirLineAndStopTheScript)
{
    struct Case {
        const char *text;
        unsigned line;
        const char *kind;
        const char *description;
    };
    const Case cases[] = {
        {"Host.Echo('a');\nnoSuchFunction();\nHost.Echo('b');", 1, "ReferenceError", "noSuchFunction"},
        {"\n\nfunction f() {\n  return null.x;\n}\nf();", 3, "TypeError", "null"},
        {"Host.Echo('a');\nthrow 'plain text';", 1, "", "plain text"},
        {"var x = 1;\neval('(');", 1, "SyntaxError", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ScriptHarness h;
        h.Run(QString::fromLatin1(c.text));
        ASSERT_EQ(h.errors.size(), 1u);
        EXPECT_EQ(h.errors[0].Line, c.line);
        EXPECT_EQ(h.errors[0].Error, QString::fromLatin1(c.kind));
        EXPECT_TRUE(h.errors[0].Description.contains(QString::fromLatin1(c.description)))
            << h.errors[0].Description.toStdString();
        EXPECT_FALSE(h.echoes.contains("b"));
        // The error is reported inside the script, before it is left.
        EXPECT_LT(h.events.indexOf("error"), h.events.indexOf("leave"));
    }
}

TEST(ScriptHost, HandlerExceptionBecomesAScriptError)
{
    ScriptHarness h;
    h.host->OnEcho = [&](THostScriptlet &, const QString &text) {
        if (text == "bad")
            throw std::runtime_error("Itag is not a number");
        h.echoes << text;
    };
    h.Run("Host.Echo('good');\nHost.Echo('bad');\nHost.Echo('after');");
    EXPECT_EQ(h.echoes, QStringList{"good"});
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].Line, 1u);
    EXPECT_TRUE(h.errors[0].Description.contains("Itag is not a number"));
}

TEST(ScriptHost, HandlerExceptionCanBeCaughtByTheScript)
{
    ScriptHarness h;
    h.host->OnAlert = [](THostScriptlet &, const QString &) { throw std::runtime_error("refused"); };
    h.Run("try { Host.Alert('x'); } catch (e) { Host.Echo('caught: ' + e.message); }");
    EXPECT_EQ(h.echoes, QStringList{"caught: refused"});
    EXPECT_TRUE(h.errors.empty());
}

TEST(ScriptHost, DuplicateNamedItemKeepsTheFirst)
{
    ScriptHarness h;
    auto second = std::make_shared<THostScriptlet>();
    QStringList secondEchoes;
    second->OnEcho = [&](THostScriptlet &, const QString &text) { secondEchoes << text; };
    h.script.AddScriptlet(second);
    h.script.AddScriptlet(nullptr);

    ASSERT_EQ(h.script.NamedItems().size(), 1u);
    EXPECT_EQ(h.script.FindScriptlet("Host"), h.host);
    EXPECT_EQ(h.script.FindScriptlet("host"), nullptr); // names are exact
    h.Run("Host.Echo('x');");
    EXPECT_EQ(h.echoes, QStringList{"x"});
    EXPECT_TRUE(secondEchoes.isEmpty());
}

TEST(ScriptHost, EveryRunStartsOnAFreshEngineAndKeepsLines)
{
    ScriptHarness h;
    h.Run("var seen = typeof counter;\ncounter = 1;\nHost.Echo(seen);");
    const QStringList lines = h.script.Lines();
    h.script.Run();
    EXPECT_EQ(h.echoes, (QStringList{"undefined", "undefined"}));
    EXPECT_EQ(h.script.Lines(), lines);
}

TEST(ScriptHost, CreateObjectAsksAndReturnsNothing)
{
    ScriptHarness h;
    QStringList asked;
    h.host->OnCreateObject = [&](THostScriptlet &, const QString &progId, bool &allow) {
        EXPECT_TRUE(allow);
        asked << progId;
    };
    h.Run("Host.Echo(typeof Host.CreateObject('Scripting.FileSystemObject'));");
    EXPECT_EQ(asked, QStringList{"Scripting.FileSystemObject"});
    EXPECT_EQ(h.echoes, QStringList{"undefined"});
}

TEST(ScriptHost, RunFromInsideAHandlerIsRefused)
{
    ScriptHarness h;
    h.host->OnEcho = [&](THostScriptlet &, const QString &) { h.script.Run(); };
    h.Run("Host.Echo('again');");
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_TRUE(h.errors[0].Description.contains("inside its own run"));
    EXPECT_FALSE(h.script.Running());
}

TEST(ScriptHost, CloseFromInsideAHandlerStopsTheScript)
{
    ScriptHarness h;
    h.host->OnEcho = [&](THostScriptlet &, const QString &text) {
        h.echoes << text;
        h.script.Close();
    };
    h.Run("Host.Echo('one');\nwhile (true) {}\n");
    EXPECT_EQ(h.echoes, QStringList{"one"});
    EXPECT_TRUE(h.errors.empty()); // a closed script reports nothing more
    EXPECT_FALSE(h.script.Running());
    h.Run("Host.Echo('two');"); // and the object runs again
    EXPECT_EQ(h.echoes, (QStringList{"one", "two"}));
}

TEST(ScriptHost, ExceptionOfANotificationHandlerReachesTheCaller)
{
    ScriptHarness h;
    h.script.OnEnter = [](TCustomScript &) { throw std::runtime_error("handler failed"); };
    h.script.SetLines({"Host.Echo('ran');"});
    EXPECT_THROW(h.script.Run(), std::runtime_error);
    EXPECT_EQ(h.echoes, QStringList{"ran"});
    EXPECT_FALSE(h.script.Running());
}

// The language the stream-list script of the download flow is written in.
TEST(ScriptHost, LanguageFeaturesOfTheStreamScript)
{
    ScriptHarness h;
    h.script.SetLines({
        "function list(){",
        "  var rdata = 'a=1&url_encoded_fmt_stream_map=itag%3D22%26url%3Dhttp%253A%252F%252Fx%26sig%3DS%2Citag%3D43&b=2';",
        "  var parts = rdata.split('&');",
        "  for(i = 0; i < parts.length; i++){",
        "    if(parts[i].substr(0, 26) == 'url_encoded_fmt_stream_map'){",
        "      var entries = unescape(parts[i].substr(27)).split(',');",
        "      var fmt = new Array; var fmt_url = new Array; var fmt_sig = new Array;",
        "      for(var j = 0; j < entries.length; j++){",
        "        var p = entries[j].split('&');",
        "        for(var jj = 0; jj < p.length; jj++){",
        "          if(p[jj].substr(0, 5) == 'itag=') fmt.push(parseInt(p[jj].substr(5), 10));",
        "          else if(p[jj].substr(0, 4) == 'url=') fmt_url.push(p[jj].substr(4));",
        "          else if(p[jj].substr(0, 4) == 'sig=') fmt_sig.push(p[jj].substr(4));",
        "        }",
        "      }",
        "      var out = '';",
        "      for(var k in fmt){",
        "        if(out != '') out += '<br>';",
        "        out += '<' + fmt[k] + '>[' + unescape(fmt_url[k]) + '&signature=' + fmt_sig[k] + ']';",
        "      }",
        "\tHost.Echo(out);",
        "    }",
        "  }",
        "}",
        "//add",
        "list();",
    });
    h.script.Run();
    EXPECT_TRUE(h.errors.empty()) << h.FirstErrorMessage().toStdString();
    EXPECT_EQ(h.echoes,
              QStringList{"<22>[http://x&signature=S]<br><43>[undefined&signature=undefined]"});
}
