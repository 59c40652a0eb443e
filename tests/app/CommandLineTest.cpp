// SPDX-License-Identifier: MIT
// The torvash program itself, run as a child process against servers on loopback.
#include "DemoMarket.h"
#include "app/EndToEndSupport.h"
#include "support/TestServers.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace torvash {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

/** The lines of a text, without their line ends. */
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

/**
 * The program as a child process. Its standard output and error go to files in `folder`, and its data
 * folder and home are in `folder` too, so that its cookie file never lands in the user's home.
 */
class TorvashProcess
{
public:
    TorvashProcess(const std::vector<std::string>& arguments, const std::filesystem::path& folder,
                   const std::string& executable = TORVASH_EXECUTABLE,
                   const std::vector<std::string>& moreEnvironment = {})
        : m_out(folder / "stdout")
        , m_err(folder / "stderr")
    {
        std::vector<std::string> environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string_view entry(*variable);
            if (!entry.starts_with("XDG_DATA_HOME=") && !entry.starts_with("HOME="))
                environment.emplace_back(entry);
        }
        environment.push_back("XDG_DATA_HOME=" + (folder / "data").string());
        environment.push_back("HOME=" + (folder / "home").string());
        environment.insert(environment.end(), moreEnvironment.begin(), moreEnvironment.end());

        std::vector<std::string> argv = {executable};
        argv.insert(argv.end(), arguments.begin(), arguments.end());

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        // A test run started in the background may ignore interrupts, which the child would inherit.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t noSignals;
        sigemptyset(&noSignals);
        posix_spawnattr_setsigmask(&attributes, &noSignals);
        sigset_t interrupts;
        sigemptyset(&interrupts);
        sigaddset(&interrupts, SIGINT);
        sigaddset(&interrupts, SIGTERM);
        posix_spawnattr_setsigdefault(&attributes, &interrupts);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        const int spawned = posix_spawn(&m_pid, executable.c_str(), &files, &attributes,
                                        pointersTo(argv).data(), pointersTo(environment).data());
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
        if (spawned != 0)
            throw std::runtime_error("cannot start " + executable);
    }

    ~TorvashProcess()
    {
        if (!m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    TorvashProcess(const TorvashProcess&) = delete;
    TorvashProcess& operator=(const TorvashProcess&) = delete;

    /** The exit code, or minus the signal that ended the process; nothing while it still runs at the
     *  time-out. */
    std::optional<int> waitForExit(std::chrono::milliseconds timeout)
    {
        int status = 0;
        const bool ended = waitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeout);
        if (!ended)
            return std::nullopt;
        m_ended = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    void interrupt() const { ::kill(m_pid, SIGINT); }
    void terminate() const { ::kill(m_pid, SIGTERM); }
    [[nodiscard]] std::string out() const { return readFile(m_out); }
    [[nodiscard]] std::string err() const { return readFile(m_err); }

private:
    static std::vector<char*> pointersTo(std::vector<std::string>& strings)
    {
        std::vector<char*> pointers;
        for (std::string& string : strings)
            pointers.push_back(string.data());
        pointers.push_back(nullptr);
        return pointers;
    }

    std::filesystem::path m_out;
    std::filesystem::path m_err;
    pid_t m_pid = -1;
    bool m_ended = false;
};

struct Outcome
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CommandLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GT(m_market.bind(0), 0);
        m_market.start();
    }

    Outcome run(const std::vector<std::string>& arguments)
    {
        TorvashProcess process(arguments, m_folder.path());
        const std::optional<int> exitCode = process.waitForExit(20s);
        if (!exitCode)
            ADD_FAILURE() << "torvash still runs after 20 s";
        return Outcome{exitCode.value_or(-1), process.out(), process.err()};
    }

    TemporaryFolder m_folder;
    demo::DemoMarket m_market;
};

std::string stringField(const QJsonObject& row, const char* name)
{
    return row.value(name).toString().toStdString();
}

TEST_F(CommandLineTest, JsonPrintsOneUtf8ObjectPerRowWithPagesOneToAHundredInOrder)
{
    const Outcome outcome =
        run({"--keyword", "茶叶", "--seller", "茶叶旗舰店", "--site", m_market.root(), "--json"});

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, "") << "progress goes to a terminal only";
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(QByteArray::fromStdString(outcome.out));
    EXPECT_FALSE(utf8.hasError()) << "standard output is not UTF-8";
    EXPECT_TRUE(outcome.out.ends_with('\n'));
    const std::vector<std::string> lines = linesOf(outcome.out);
    ASSERT_EQ(lines.size(), 102U) << "one row per page and two more listings on page 7";

    std::vector<QJsonObject> rows;
    std::vector<std::string> pages;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        ASSERT_TRUE(document.isObject());
        const QJsonObject row = document.object();
        std::vector<std::string> keys;
        for (const QString& key : row.keys()) {
            keys.push_back(key.toStdString());
            EXPECT_TRUE(row.value(key).isString()) << keys.back();
        }
        EXPECT_EQ(keys, (std::vector<std::string>{"address", "link", "page", "title"}));
        if (!stringField(row, "page").empty())
            pages.push_back(stringField(row, "page"));
        rows.push_back(row);
    }
    std::vector<std::string> expectedPages;
    for (int page = 1; page <= 100; ++page)
        expectedPages.push_back(pageCell(page));
    EXPECT_EQ(pages, expectedPages);

    EXPECT_EQ(stringField(rows[0], "page"), "001");
    EXPECT_NE(stringField(rows[0], "title").find("茶叶"), std::string::npos);
    EXPECT_TRUE(stringField(rows[0], "link").starts_with("//item.demo.test/item.htm?id="));
    EXPECT_EQ(stringField(rows[0], "address"), m_market.root() + "/search?q=茶叶&tab=coefp");
    EXPECT_EQ(stringField(rows[1], "page"), "002");
    EXPECT_EQ(stringField(rows[1], "title"), "没有找到");
    EXPECT_EQ(stringField(rows[1], "link"), "");
    EXPECT_NE(readFile(m_folder.path() / "data" / "torvash" / "cookies.txt").find("cna"), std::string::npos)
        << "the demo's lasting cookie is kept in the data folder";
}

struct TableCase
{
    const char* name;
    const char* seller;
    size_t rows;
    const char* summary;
};

void PrintTo(const TableCase& table, std::ostream* out)
{
    *out << table.name;
}

class CommandLineTableTest : public CommandLineTest, public ::testing::WithParamInterface<TableCase>
{};

TEST_P(CommandLineTableTest, PrintsAHeaderTheRowsAndASummaryNamingThePages)
{
    const Outcome outcome =
        run({"--keyword", "茶叶", "--seller", GetParam().seller, "--site", m_market.root()});

    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, "");
    const std::vector<std::string> lines = linesOf(outcome.out);
    const size_t rows = GetParam().rows;
    ASSERT_GE(lines.size(), rows + 3) << outcome.out;
    EXPECT_TRUE(lines[0].starts_with("Page")) << lines[0];
    EXPECT_NE(lines[0].find("Title"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("Link"), std::string::npos) << lines[0];
    std::vector<std::string> pages;
    for (size_t row = 1; row <= rows; ++row)
        if (!lines[row].starts_with(' '))
            pages.push_back(lines[row].substr(0, 3));
    ASSERT_EQ(pages.size(), 100U);
    for (int page = 1; page <= 100; ++page)
        EXPECT_EQ(pages[static_cast<size_t>(page - 1)], pageCell(page));
    EXPECT_EQ(lines[rows + 1], "");
    EXPECT_EQ(lines[rows + 2], GetParam().summary);
}

INSTANTIATE_TEST_SUITE_P(
    Sellers, CommandLineTableTest,
    ::testing::Values(TableCase{"OnThreePages", "茶叶旗舰店", 102, "The seller is on 3 pages: 001, 007, 037"},
                      TableCase{"OnNoPage", "nobody", 100, "The seller is on none of the 100 pages."}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refusal
{
    const char* name;
    std::vector<std::string> arguments; // "@site" stands for a server that must not be asked
    const char* reason;                 // in the first line on standard error
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class CommandLineRefusalTest : public CommandLineTest, public ::testing::WithParamInterface<Refusal>
{};

TEST_P(CommandLineRefusalTest, ExitsWithCode2AndTheReasonOnStandardErrorBeforeFetchingAnything)
{
    RawResponder silent(neverAnswer);
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& argument : arguments)
        if (argument.starts_with("@site"))
            argument.replace(0, 5, silent.address(""));

    const Outcome outcome = run(arguments);

    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.out, "");
    const std::vector<std::string> lines = linesOf(outcome.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(GetParam().reason), std::string::npos) << outcome.err;
    EXPECT_TRUE(silent.requestHeads().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineRefusalTest,
    ::testing::Values(
        Refusal{
            "UnknownOption", {"--keyword", "茶叶", "--seller", "x", "--site", "@site", "--colour"}, "colour"},
        Refusal{"MissingSeller", {"--keyword", "茶叶", "--site", "@site"}, "--seller"},
        Refusal{
            "SiteWithTrailingSlash", {"--keyword", "茶叶", "--seller", "x", "--site", "@site/"}, "--site"},
        Refusal{"SiteOverHttps",
                {"--keyword", "茶叶", "--seller", "x", "--site", "https://127.0.0.1:9"},
                "--site"},
        Refusal{"KeywordWithoutGbkForm", {"--keyword", "茶😀", "--seller", "x", "--site", "@site"}, "GBK"},
        Refusal{"EmptyKeyword",
                {"--keyword", "", "--seller", "x", "--site", "@site"},
                "信息：请输入查询的关键词"},
        Refusal{"EmptySeller",
                {"--keyword", "茶叶", "--seller", "", "--site", "@site"},
                "信息：请输入查询的旺旺名"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandLineTest, InterruptDuringARunEndsTheProgramWithCode130WithinTwoSeconds)
{
    RawResponder silent(neverAnswer);
    TorvashProcess process({"--keyword", "茶叶", "--seller", "x", "--site", silent.address("")},
                           m_folder.path());
    ASSERT_TRUE(waitFor([&] { return !silent.requestHeads().empty(); }, 10s))
        << "torvash never asked for the first page";

    process.interrupt();
    const std::optional<int> exitCode = process.waitForExit(2s);

    ASSERT_TRUE(exitCode.has_value()) << "torvash still runs 2 s after the interrupt";
    EXPECT_EQ(*exitCode, 130);
}

// Without arguments the program opens its window, which lives in a module beside the executable.

TEST(WindowFromCommandLine, StartsWhenTheModuleIsBesideTheProgram)
{
    TemporaryFolder folder;
    TorvashProcess process({}, folder.path(), TORVASH_EXECUTABLE, {"QT_QPA_PLATFORM=offscreen"});

    // The window's event loop keeps the program running until it is told to end.
    EXPECT_EQ(process.waitForExit(1500ms), std::nullopt) << process.err();
    process.terminate();
    EXPECT_EQ(process.waitForExit(5s), -SIGTERM);
    EXPECT_EQ(process.err().find("cannot open the window"), std::string::npos) << process.err();
}

TEST(WindowFromCommandLine, SaysWhyAndExitsWithCode1WhenTheModuleIsMissing)
{
    TemporaryFolder folder;
    const std::filesystem::path lonely = folder.path() / "torvash";
    std::filesystem::copy_file(TORVASH_EXECUTABLE, lonely);
    TorvashProcess process({}, folder.path(), lonely.string(), {"QT_QPA_PLATFORM=offscreen"});

    EXPECT_EQ(process.waitForExit(5s), 1);
    EXPECT_TRUE(process.err().starts_with("torvash: cannot open the window: ")) << process.err();
    EXPECT_NE(process.err().find("libtorvash-window.so"), std::string::npos) << process.err();
    // A search from the command line does not need the module.
    TorvashProcess refusal({"--keyword", "", "--seller", "x"}, folder.path(), lonely.string());
    EXPECT_EQ(refusal.waitForExit(5s), 2) << refusal.err();
}

} // namespace
} // namespace torvash
