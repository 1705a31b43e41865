// mira8's own options and its --check-data self-check, run in the build tree where the
// instruction tables and the manual sit beside the program.
#include <QtTest>
#include <filesystem>
#include <sstream>
#include <string>

#include "app_check.h"
#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "gui_test_support.h"

using namespace mira;

class AppCheckTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ownOptionsAreFoundAmongQtOptions() {
        auto action = [](std::vector<std::string> args) {
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            return gui::startAction(static_cast<int>(argv.size()), argv.data());
        };
        QCOMPARE(action({"mira8"}), gui::StartAction::Run);
        QCOMPARE(action({"mira8", "-platform", "offscreen", "-style", "fusion"}), gui::StartAction::Run);
        QCOMPARE(action({"mira8", "-platform", "offscreen", "--check-data"}), gui::StartAction::CheckData);
        QCOMPARE(action({"mira8", "--version"}), gui::StartAction::Version);
        QCOMPARE(action({"mira8", "-h"}), gui::StartAction::Help);
    }

    void checkFindsTheShippedFilesAndWritesUserDataToTheDataFolder() {
        auto dir = gui_test::freshDataDir();
        QVERIFY(dir);
        std::ostringstream out;
        const int status = gui::checkData(out);
        const std::string text = out.str();
        QVERIFY2(status == 0, text.c_str());
        const std::filesystem::path data = dir->path().toStdString();
        QVERIFY(text.find("data folder: " + data.string() + "\n") != std::string::npos);
        QVERIFY(text.find("cmplr.dat: " + (core::executableDirectory() / "cmplr.dat").string() + "\n") !=
                std::string::npos);
        QVERIFY(text.find("mira8help.pdf: " + (core::executableDirectory() / "mira8help.pdf").string() + "\n") !=
                std::string::npos);
        QVERIFY(std::filesystem::is_regular_file(data / "zomira.dat"));
        QVERIFY(text.ends_with("check: ok\n"));
    }

    // A broken copy in the data folder comes first and is reported with the message the
    // window would have shown, not passed as found.
    void checkFailsOnBadInstructionTables() {
        auto dir = gui_test::freshDataDir();
        QVERIFY(dir);
        QVERIFY(core::writeContainerFile(dir->filePath(QStringLiteral("cmplr.dat")).toStdString(),
                                         {"not an instruction table"}));
        std::ostringstream out;
        QCOMPARE(gui::checkData(out), 1);
        const std::string text = out.str();
        QVERIFY2(text.find("(not found or not valid)") != std::string::npos, text.c_str());
        QVERIFY(text.find("message: ERROR: Failed to load [What If?] data file") != std::string::npos);
        QVERIFY(text.ends_with("check: FAILED\n"));
    }
};

QTEST_MAIN(AppCheckTest)
#include "app_check_test.moc"
