// monitor_soak SECONDS: the monitor kept busy for SECONDS against the virtual
// doll, as tools/soak-monitor starts it, with everything a take can meet in
// a long session compressed: faults and lost replies on the line, the doll
// silenced and restored, its cable pulled and plugged back, saves into a full
// folder, and 閉じる at random moments, while recording or not.
//
// Each session starts Gestalyx.exe /monitor in a folder of its own on the
// small disk, records the doll's soak motion and ends with 閉じる. Between
// events the window must answer within a second, and the process must end
// within five seconds of 閉じる. Afterwards every file of the session must be
// complete (or absent: no temporary file stays), and every motion file must
// hold the doll's steadily turning forearm in order: its angle from rest
// never falls back by more than the counts' resolution. Prints one line per
// session and a summary; exit status 0 when nothing went wrong.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <windows.h>

#include "monitor/monitor_resource.h"
#include "solver/figure_pose.h"
#include "tools/driver/driver.h"
#include "tools/driver/test_environment.h"

namespace fs = std::filesystem;

namespace {

// What tools/soak-monitor passes on: Unix paths, which Wine sees under Z:.
std::string unixSetting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string("Z:") + value : "";
}

fs::path dollControl, dollLog, smallFolder;
std::string motionFile;
unsigned dollPort;
int problems;

void problem(const char* format, const char* detail, long value = 0) {
    std::printf("  PROBLEM: ");
    std::printf(format, detail, value);
    std::printf("\n");
    ++problems;
}

void controlDoll(const std::string& lines) {
    if (!applyDollControl(dollControl, lines)) problem("the doll did not take %s", lines.c_str());
}

const char* const lineFaults = "--clear-faults\n--fault-rate 5\n--lost-rate 5";

void makeRoom(const fs::path& folder) {
    std::error_code ignored;
    fs::remove(folder / "filler", ignored);
}

std::string statusOf(HWND window) { return wideToUtf8(controlText(window, IDC_MONITOR_STATUS)); }

std::size_t logSize() {
    std::error_code ignored;
    return static_cast<std::size_t>(fs::file_size(dollLog, ignored));
}

// The frames whose first exchange, the address of hip's vectors, the doll answered since the log had
// `mark` bytes: every frame the reader read with the doll there, once each.
int framesReadSince(std::size_t mark) {
    std::ifstream log(dollLog, std::ios::binary);
    log.seekg(static_cast<std::streamoff>(mark));
    int frames = 0;
    for (std::string line; std::getline(log, line);)
        if (line.find(" a200d\\n -> A20\\r\\n") != std::string::npos && line.find(" lost") == std::string::npos) ++frames;
    return frames;
}

// The frames recorded and left out as the status text counts them while recording.
int countIn(const std::string& status, const char* before) {
    std::size_t at = status.find(before);
    return at == std::string::npos ? 0 : std::atoi(status.c_str() + at + std::strlen(before));
}

struct Figures {
    int sessions, poses, recordings, failedSaves, motionFrames, framesLeftOut, silences, unplugs;
    ULONGLONG slowestAnswer, slowestClose;
};
Figures figures;

// The window answers, and how long it took; a hung window is a problem.
void checkAnswer(HWND window) {
    ULONGLONG start = GetTickCount64();
    DWORD_PTR result;
    if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) == 0 && IsWindow(window))
        problem("%s", "the window did not answer within 1 s");
    ULONGLONG took = GetTickCount64() - start;
    if (took > figures.slowestAnswer) figures.slowestAnswer = took;
}

// A pose file is whole when every part's actor block and the diagnostic block's end are there.
bool poseFileWhole(const std::string& text) {
    int actors = 0;
    for (std::size_t at = text.find("\nactor "); at != std::string::npos; at = text.find("\nactor ", at + 1)) ++actors;
    return actors == 18 && text.size() > 2 && text.compare(text.size() - 2, 2, "}\n") == 0;
}

// A motion file is whole when it has as many frame lines, each of every channel, as it says. For a
// recording, rForeArm's angle from rest (its channels Z X Y, the rest of the doll at rest) must never fall
// back by more than 1.5 degrees.
bool motionFileWhole(const std::string& text, bool recording, int& frames) {
    std::istringstream in(text);
    std::string word;
    int channels = 0, forearm = -1;
    while (in >> word && word != "MOTION") {
        if (word == "JOINT" && in >> word && word == "rForeArm") forearm = channels;
        int count;
        if (word == "CHANNELS" && in >> count) channels += count;
    }
    double frameTime;
    if (!(in >> word >> frames >> word >> word >> frameTime) || forearm < 0 || frames < 1) return false;
    double furthest = 0;
    for (int f = 0; f < frames; ++f) {
        std::vector<double> values(channels);
        for (double& value : values)
            if (!(in >> value)) return false;
        const double degree = 3.141592653589793 / 180;
        const double angles[3] = {values[forearm + 1] * degree, values[forearm] * degree, values[forearm + 2] * degree};
        Rotation turned = partRotation(angles);
        double angle = 2 * std::acos(std::fmin(1.0, std::fabs(turned.w))) / degree;
        if (recording && angle < furthest - 1.5) {
            problem("%s frame %ld: the forearm turned back", "motion file", f);
            return true;
        }
        furthest = std::fmax(furthest, angle);
    }
    return !(in >> word);
}

void checkFiles(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        int frames = 0;
        if (name == "Gestalyx.ini" || name == "filler") continue;
        if (name.ends_with(".pz2") && poseFileWhole(text))
            ++figures.poses;
        else if (name.starts_with("pose-") && name.ends_with(".bvh") && motionFileWhole(text, false, frames))
            continue;
        else if (name.starts_with("motion-") && name.ends_with(".bvh") && motionFileWhole(text, true, frames))
            ++figures.recordings, figures.motionFrames += frames;
        else
            problem("%s is not a whole file of the monitor", name.c_str());
    }
}

// Before 停止 or 閉じる: every frame read since 記録 (its log mark) is either recorded or counted as left
// out, and none is recorded twice; the status text lags by up to half a second, two frames of the line.
void checkCounts(HWND window, std::size_t recordMark) {
    const std::string status = statusOf(window);
    const int recorded = countIn(status, "記録 "), leftOut = countIn(status, "(欠け "), read = framesReadSince(recordMark);
    if (recorded + leftOut + 4 < read) problem("%s %ld frames lost uncounted", "recording:", read - recorded - leftOut);
    if (recorded > read + 4) problem("%s %ld more frames than were read", "recording:", recorded - read);
}

// Counts what the status text says of a save just made.
void noteSave(HWND window) {
    const std::string status = statusOf(window);
    if (status.find("できませんでした") != std::string::npos) ++figures.failedSaves;
    std::size_t at = status.find("欠けたフレーム ");
    if (at != std::string::npos) figures.framesLeftOut += std::atoi(status.c_str() + at + std::strlen("欠けたフレーム "));
}

int chance(int percent) { return std::rand() % 100 < percent; }

// One session: start, record, random events for `seconds`, 閉じる.
void runSession(int number, int seconds) {
    const fs::path folder = smallFolder / ("session-" + std::to_string(number));
    fs::create_directories(folder);
    std::ofstream(folder / "Gestalyx.ini", std::ios::binary)
        << "[COMM]\r\nPortNumber=" << dollPort << "\r\n[NODE]\r\nchest=1\r\nhead=1\r\nrShldr=1\r\nrForeArm=1\r\n"
        << "lShldr=1\r\nlForeArm=1\r\nrThigh=1\r\nrShin=1\r\nlThigh=1\r\nlShin=1\r\n";
    controlDoll(std::string(lineFaults) + "\n--motion " + motionFile);
    DrivenProgram program;
    if (!startProgram(program, directoryOfThisProgram() + L"Gestalyx.exe", L"/monitor", folder.wstring())) {
        problem("%s", "Gestalyx.exe did not start");
        return;
    }
    HWND window = waitForMonitorWindow(program, 30000);
    DWORD status = 0;
    if (window == nullptr) {
        // The node check may meet a fault three times over: the program names the node and ends.
        MessageBoxSeen box;
        if (waitForMessageBox(program, box, 0)) pressButton(box.window, IDOK);
        if (!waitForExit(program, status, 10000)) problem("%s", "no monitor window and no end");
        std::printf("session %d: the node check failed (%s)\n", number, wideToUtf8(box.text).c_str());
        return;
    }
    std::size_t recordMark = logSize();
    bool recording = clickButton(window, IDC_RECORD);
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    while (GetTickCount64() < end) {
        Sleep(250);
        checkAnswer(window);
        if (chance(2)) {
            ++figures.silences;
            controlDoll("--fault silent");
            Sleep(1000 + std::rand() % 2000);
            controlDoll(lineFaults);
        } else if (chance(2)) {
            ++figures.unplugs;
            controlDoll("--unplug " + std::to_string(1 + std::rand() % 2));
        } else if (chance(4)) {
            bool full = chance(40);
            if (full) fillDisk(folder);
            if (chance(50)) {
                clickButton(window, IDC_SAVE_POSE);
                Sleep(2500);  // the save waits for a complete frame
            } else if (recording) {
                checkCounts(window, recordMark);
                clickButton(window, IDC_RECORD);
                recording = controlText(window, IDC_RECORD) == L"停止";
            } else {
                recordMark = logSize();
                recording = clickButton(window, IDC_RECORD);
            }
            noteSave(window);
            if (full) makeRoom(folder);
        }
    }
    // 閉じる at a random moment of the session's last events; a recording that cannot be saved into a
    // full disk asks whether to close without it, and the soak says yes.
    if (recording) checkCounts(window, recordMark);
    const bool full = recording && chance(30);
    if (full) fillDisk(folder);
    const ULONGLONG closing = GetTickCount64();
    pressEscape(window);
    MessageBoxSeen box;
    if (full && waitForMessageBox(program, box, 5000)) pressButton(box.window, IDYES);
    if (!waitForExit(program, status, 5000)) {
        problem("%s", "the process did not end within 5 s of 閉じる");
        TerminateProcess(program.process.hProcess, 1);
    }
    const ULONGLONG took = GetTickCount64() - closing;
    if (took > figures.slowestClose && !full) figures.slowestClose = took;
    if (status != 0) problem("%s exit status %ld", "Gestalyx.exe:", static_cast<long>(status));
    makeRoom(folder);
    checkFiles(folder);
    fs::remove_all(folder);
    std::printf("session %d: %d s, closed in %llu ms%s\n", number, seconds, took, full ? " (full disk, closed without saving)" : "");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 600;
    dollControl = unixSetting("GESTALYX_DOLL_CONTROL");
    dollLog = unixSetting("GESTALYX_DOLL_LOG");
    smallFolder = unixSetting("GESTALYX_SMALL_FOLDER");
    motionFile = argc > 2 ? argv[2] : "";
    dollPort = std::atoi(std::getenv("GESTALYX_DOLL_PORT") != nullptr ? std::getenv("GESTALYX_DOLL_PORT") : "0");
    if (dollControl.empty() || smallFolder.empty() || motionFile.empty() || total <= 0) {
        std::fprintf(stderr, "usage: tools/soak-monitor [SECONDS] (the doll's control file, a small folder and the motion)\n");
        return 2;
    }
    std::srand(static_cast<unsigned>(GetTickCount()));
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(total) * 1000;
    for (int number = 1; GetTickCount64() < end; ++number) {
        ++figures.sessions;
        runSession(number, 5 + std::rand() % 40);
    }
    std::printf("\n%d sessions in %d s: %d silences, %d unplugs; %d pose files and %d recordings whole "
                "(%d frames, %d left out and counted); %d saves refused for a full disk; window answered within "
                "%llu ms; 閉じる ended the mode within %llu ms; %d problems\n",
                figures.sessions, total, figures.silences, figures.unplugs, figures.poses, figures.recordings,
                figures.motionFrames, figures.framesLeftOut, figures.failedSaves, figures.slowestAnswer,
                figures.slowestClose, problems);
    return problems == 0 ? 0 : 1;
}
