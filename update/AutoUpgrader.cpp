#include "update/AutoUpgrader.h"

#include "platform/FileOps.h"
#include "platform/ProgramFile.h"
#include "platform/TextFile.h"
#include "update/Sha256.h"
#include "update/UpgradeList.h"
#include "update/UpgraderImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace vantor {
namespace {

constexpr const char* kConnLostText =
    "Connection with remote server lost.\n\nPlease restore connection and try to\nupgrade this software again later.";
constexpr const char* kAbortQuestion = "The update is not completed.\nWould you like to abort upgrading?";

template <typename... Args>
std::string format(const char* fmt, Args... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

// The hex SHA-256 of a file's bytes; empty when it cannot be read.
std::string fileSha256(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Sha256 hash;
    if (!in || !hash.ok()) return {};
    std::vector<char> block(256 * 1024);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        hash.update(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    return in.bad() ? std::string() : hash.hexDigest();
}

}  // namespace

TAutoUpgrader::TAutoUpgrader(EventLoop& loop, AutoUpgraderUi& ui, const UpdatePublicKey& key)
    : loop_(loop), ui_(ui), key_(key), http_(loop) {
    StartUpgrader = [this](const std::string& program, const std::vector<std::string>& args, std::string* error) {
        holdProgramFile(ProgramPath);
        return startDetached(program, args, error);
    };
    hookTransfer();
}

void TAutoUpgrader::RemoveLeftUpgrader() {
    deleteFile(upgraderPath(TempFolder, programFolder()));
    if (!programFolder().empty()) deleteFile(programFolder() + kUpgraderFileName);
}

TAutoUpgrader::~TAutoUpgrader() { *alive_ = false; }

std::string TAutoUpgrader::questionText(const std::string& appTitle, const std::string& message,
                                        const std::string& offered, const std::string& running) {
    // The versions open the message part; the server's message follows them.
    const std::string versions = "Version " + offered + " is offered; this is version " + running + ".";
    const std::string msg = "\n" + (message.empty() ? versions : versions + "\n" + message) + "\n";
    return "A newer version of " + appTitle + " was released.\n" + msg + "\nDo you want to update your version with " +
           "the latest one?";
}

std::string TAutoUpgrader::byteSizeText(double bytes) {
    if (!(bytes >= 0)) bytes = 0;
    if (bytes < 1024) return format("%.0f bytes", bytes);
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    bytes /= 1024.0;
    // 1023.96 KiB would print as "1024.0 KiB": such a size takes the next unit.
    while (bytes >= 1023.95 && unit < 3) {
        bytes /= 1024.0;
        ++unit;
    }
    return format("%.1f %s", bytes, units[unit]);
}

std::string TAutoUpgrader::olderVersionText(const std::string& offered, const std::string& running) {
    if (!UpdateInfo::isVersion(offered))
        return "The offered version (\"" + offered + "\") is not a version number; it is not installed.";
    return "The offered version " + offered + " is older than this version (" + running + "); it is not installed.";
}

std::string TAutoUpgrader::upgraderPath(const std::string& tempFolder, const std::string& programFolder) {
    std::string folder = tempFolder;
    if (folder.empty()) {
        std::error_code ec;
        folder = std::filesystem::temp_directory_path(ec).string();
    }
    if (!folderExists(folder)) folder = programFolder;
    if (folder.empty()) return {};
    return withTrailingSep(folder) + kUpgraderFileName;
}

std::string TAutoUpgrader::programFolder() const {
    const auto slash = ProgramPath.find_last_of(kPathSep);
    return slash == std::string::npos ? std::string() : ProgramPath.substr(0, slash + 1);
}

void TAutoUpgrader::hookTransfer() {
    http_.OnDone = [this](const std::string&, const std::string* data, std::uint64_t) {
        switch (state_) {
            case State::FetchInfo: infoFetched(data ? *data : std::string()); break;
            case State::FetchSignature: signatureFetched(data ? *data : std::string()); break;
            case State::Downloading: fileDone(); break;
            default: break;
        }
    };
    http_.OnHostUnreachable = [this] {
        const std::string url = http_.URL;
        endDownload();
        state_ = State::Idle;
        if (OnHostUnreachable) OnHostUnreachable(url, splitAddress(url).HostName);
        finish(TUpdateEnd::HostUnreachable, "No internet connection.");
    };
    http_.OnHTTPError = [this](int status, const std::string&) {
        if (state_ == State::FetchInfo) {
            state_ = State::Idle;
            finish(TUpdateEnd::NoInfoFile,
                   "The update information was not found (HTTP " + std::to_string(status) + ").");
        } else if (state_ == State::FetchSignature) {
            refuse(kNotVerifiedText);
        } else if (state_ == State::Downloading) {
            fileMissing(status);
        }
    };
    http_.OnConnLost = [this](const std::string&, std::uint64_t, std::uint64_t) {
        endDownload();
        state_ = State::Idle;
        if (ShowMessages & mConnLost)
            ui_.messageBox(kUpdateCaption, kConnLostText, UpgradeIcon::Error, UpgradeButtons::Ok);
        finish(TUpdateEnd::ConnLost, "Connection with remote server lost.");
    };
    http_.OnTimedOut = [this](std::chrono::milliseconds bound) { timedOut(bound); };
    http_.OnTooLarge = [this](std::uint64_t) {
        if (state_ == State::Downloading)
            refuse("The downloaded file " + currentName_ + " does not match the update information.");
        else
            refuse(kNotVerifiedText);
    };
    http_.OnFileError = [this](const std::string& path, const std::string& error) {
        refuse("The file " + path + " cannot be written: " + error);
    };
    http_.OnStopped = [this] {
        if (state_ == State::Aborting) aborted();
    };
}

// A server too slow to finish within the bound is a lost connection, and says so.
void TAutoUpgrader::timedOut(std::chrono::milliseconds bound) {
    const std::string name = UpdateInfo::fileNameOf(http_.URL);
    endDownload();
    state_ = State::Idle;
    if (ShowMessages & mConnLost) ui_.messageBox(kUpdateCaption, kConnLostText, UpgradeIcon::Error, UpgradeButtons::Ok);
    finish(TUpdateEnd::ConnLost, "Connection with remote server lost. " + name + " did not arrive within " +
                                     std::to_string((bound.count() + 999) / 1000) + " s.");
}

void TAutoUpgrader::BeginCheck() {
    aborted_ = false;
    if (Busy()) return;
    // Without a running version every offer would count as newer.
    if (!UpdateInfo::isVersion(VersionNumber)) {
        refuse("This program's version (\"" + VersionNumber +
               "\") is not a version number, so no update can be compared with it.");
        return;
    }
    checking_ = true;
    state_ = State::FetchInfo;
    infoBytes_.clear();
    http_.OnHeaderInfo = nullptr;
    http_.OnProgress = nullptr;
    http_.CacheOptions = CacheOptions | coPragmaNoCache;
    http_.FileName.clear();
    http_.MaxSize = kInfoFileLimit;
    http_.ComputeSha256 = false;
    http_.TotalBound = InfoFileBound;
    http_.URL = InfoFileURL;
    http_.Read();
}

void TAutoUpgrader::Cancel() {
    if (state_ == State::Idle || state_ == State::Aborting || state_ == State::HandedOver) return;
    abortNow();
}

void TAutoUpgrader::infoFetched(const std::string& bytes) {
    infoBytes_ = bytes;
    state_ = State::FetchSignature;
    http_.MaxSize = kSignatureLimit;
    http_.URL = InfoFileURL + ".sig";
    http_.Read();
}

void TAutoUpgrader::signatureFetched(const std::string& bytes) {
    if (!verifyUpdateSignature(infoBytes_, bytes, key_)) {
        refuse(kNotVerifiedText);
        return;
    }
    processInfo();
}

void TAutoUpgrader::processInfo() {
    const UpdateInfo info(infoBytes_);
    files_ = info.files();
    const std::string offered = info.version();
    if (!UpdateInfo::IsNewer(offered, VersionNumber) || files_.empty()) {
        state_ = State::Idle;
        checking_ = false;
        const bool older = !UpdateInfo::isVersion(offered) || CompareVersions(offered, VersionNumber) < 0;
        if (older && OnOlderVersion) OnOlderVersion(offered, VersionNumber);
        if (OnNoUpdateAvailable) OnNoUpdateAvailable();
        finish(TUpdateEnd::NoUpdate, "No update available.");
        return;
    }
    method_ = info.method();
    if (method_ != TUpgradeMethod::RedirectToURL) {
        const std::string programName = fileNamePart(ProgramPath);
        if (programFolder().empty() || programName.empty()) {
            refuse("The program's own file is not known, so no update can be put beside it.");
            return;
        }
        // An installed copy in a folder this user cannot write is updated the way it was installed.
        if (std::string error; !canCreateFilesIn(programFolder(), &error)) {
            refuse("Version " + offered + " is available, but the program's folder " + programFolder() +
                   " cannot be written (" + error +
                   "), so the update cannot be put there. Please install it the way this copy was installed: "
                   "with the system's package manager or the new installer.");
            return;
        }
        // Every file must be described and land under a plain name of its
        // own, once; the program's own file among them when it replaces itself.
        std::vector<std::string> names;
        for (const auto& f : files_) {
            if (!f.size || f.sha256.empty()) {
                refuse(kNotVerifiedText);
                return;
            }
            const std::string name = UpdateInfo::fileNameOf(f.url);
            const bool twice = std::any_of(names.begin(), names.end(),
                                           [&](const std::string& n) { return UpgradeList::sameName(n, name); });
            if (!UpdateInfo::isPlainFileName(name) || UpgradeList::isReservedName(name) || twice) {
                refuse("The update names a file that is not allowed: " + name);
                return;
            }
            names.push_back(name);
        }
        const bool bringsProgram = std::any_of(
            names.begin(), names.end(), [&](const std::string& n) { return UpgradeList::sameName(n, programName); });
        if (method_ == TUpgradeMethod::SelfUpgrade && !bringsProgram) {
            refuse("The update does not contain the program file " + programName +
                   ", so it cannot bring the new version.");
            return;
        }
    }
    const std::string message = info.message();
    bool canUpgrade = true;
    std::vector<std::string> urls;
    for (const auto& f : files_) urls.push_back(f.url);
    if (OnBeginUpgrade) OnBeginUpgrade(message, method_, urls, canUpgrade);
    auto alive = alive_;
    const bool yes = canUpgrade && (!(ShowMessages & mAskUpgrade) ||
                                    ui_.askUpgrade(questionText(AppTitle, message, offered, VersionNumber)));
    if (!*alive || state_ != State::FetchSignature) return;  // gone, or cancelled while asking
    if (!yes) {
        state_ = State::Idle;
        checking_ = false;
        if (OnLaterUpgrade) OnLaterUpgrade();
        finish(TUpdateEnd::Later, "Update aborted.");
        return;
    }
    if (method_ == TUpgradeMethod::RedirectToURL) {
        state_ = State::Idle;
        checking_ = false;
        if (OpenURL) OpenURL(withScheme(files_.front().url));
        finish(TUpdateEnd::Redirected, "");
        return;
    }
    startDownload();
}

void TAutoUpgrader::startDownload() {
    checking_ = false;
    // One instance at a time downloads; the others' start-up leaves its files alone.
    lock_ = std::make_unique<FileLock>(programFolder() + kUpdateLockName);
    if (!lock_->locked()) {
        lock_.reset();
        refuse("Another instance of the program is updating it. Please try again when it has finished.");
        return;
    }
    state_ = State::Downloading;
    downloadsComplete_ = false;
    index_ = 0;
    // Only this update's files are ".uTMP" files of the folder.
    UpgradeList::removeDownloads(programFolder());
    http_.CacheOptions = CacheOptions;
    http_.ComputeSha256 = true;
    http_.OnHeaderInfo = [this](const THTTPHeaderInfo& h, bool&) {
        lastModified_ = h.LastModified;
        if (wizardOpen_) ui_.wizardFileSize("File size: " + (h.Size ? byteSizeText(h.Size) : "unknown"));
    };
    http_.OnProgress = [this](const THTTPProgress& p) {
        if (!wizardOpen_) return;
        const int count = static_cast<int>(files_.size());
        const int all =
            static_cast<int>(std::nearbyint(static_cast<double>(index_) * 100.0 / count)) + p.Percent / count;
        const long long left = std::max(0LL, p.Remaining);
        ui_.wizardProgress("Transfer rate: " + byteSizeText(p.Rate * 1024.0) + "/s",
                           format("Estimated time left: %d:%.2d:%.2d", static_cast<int>(left / 3600),
                                  static_cast<int>(left / 60 % 60), static_cast<int>(left % 60)),
                           p.Percent, all);
    };
    if (Wizard.Enabled) {
        WizardOptions options;
        options.HideFileLocation = Wizard.HideFileLocation;
        options.StayOnTop = Wizard.StayOnTop;
        options.AppTitle = AppTitle;
        options.onCancel = [this] { wizardCancel(); };
        options.onFinish = [this] { wizardFinish(); };
        wizardOpen_ = true;
        ui_.wizardShow(options);
    }
    nextFile();
}

void TAutoUpgrader::nextFile() {
    if (state_ != State::Downloading) return;
    if (index_ >= files_.size()) {
        state_ = State::Completed;
        if (wizardOpen_)
            ui_.wizardCompleted("The update of " + AppTitle + " has been successfully completed.\n\nPress the OK " +
                                "button to restart program.");
        else
            wizardFinish();
        return;
    }
    const UpdateFile& f = files_[index_];
    currentName_ = UpdateInfo::fileNameOf(f.url);
    lastModified_ = 0;
    if (wizardOpen_)
        ui_.wizardFile(static_cast<int>(index_) + 1, static_cast<int>(files_.size()),
                       format("Downloading %d of %d", static_cast<int>(index_) + 1, static_cast<int>(files_.size())),
                       f.url);
    http_.URL = f.url;
    http_.FileName = programFolder() + currentName_ + kDownloadSuffix;
    http_.HiddenTemporary = true;
    http_.MaxSize = *f.size;
    const double mib = static_cast<double>(*f.size) / (1024.0 * 1024.0);
    const double extra = std::min(mib * static_cast<double>(FileBoundPerMiB.count()), 1e12);
    http_.TotalBound = FileBound + std::chrono::milliseconds(static_cast<long long>(extra));
    http_.Read();
}

void TAutoUpgrader::fileDone() {
    const UpdateFile& f = files_[index_];
    const std::string path = programFolder() + currentName_ + kDownloadSuffix;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size != *f.size || http_.Sha256() != f.sha256) {
        refuse("The downloaded file " + currentName_ + " does not match the update information.");
        return;
    }
    if (lastModified_) setFileModifiedTime(path, lastModified_);
    if (OnFileDone) OnFileDone(currentName_);
    ++index_;
    nextFile();
}

// All or nothing: a file that cannot be had ends the update.
void TAutoUpgrader::fileMissing(int status) {
    if (ShowMessages & mLostFile) {
        auto alive = alive_;
        ui_.messageBox("Error #" + std::to_string(status),
                       "File " + currentName_ + " not found or inaccessible.\n\nThe update cannot be completed " +
                           "without it, so nothing is replaced.",
                       UpgradeIcon::Warning, UpgradeButtons::Ok);
        if (!*alive || state_ != State::Downloading) return;
    }
    aborted_ = true;
    aborted();
}

void TAutoUpgrader::wizardCancel() {
    if (state_ != State::Downloading && state_ != State::Completed) return;
    auto alive = alive_;
    const bool yes = ui_.messageBox(AppTitle, kAbortQuestion, UpgradeIcon::Question, UpgradeButtons::YesNo);
    if (!*alive || !yes || (state_ != State::Downloading && state_ != State::Completed)) return;
    abortNow();
}

void TAutoUpgrader::abortNow() {
    aborted_ = true;
    if (wizardOpen_) {
        wizardOpen_ = false;
        ui_.wizardClose();
    }
    if (http_.Busy()) {
        // The files go once the transfer has let go of its own.
        state_ = State::Aborting;
        http_.Abort();
        return;
    }
    aborted();
}

void TAutoUpgrader::aborted() {
    endDownload();
    state_ = State::Idle;
    checking_ = false;
    if (OnAborted) OnAborted();
    finish(TUpdateEnd::Aborted, "Update aborted.");
}

void TAutoUpgrader::wizardFinish() {
    if (state_ != State::Completed) return;
    if (wizardOpen_) {
        wizardOpen_ = false;
        ui_.wizardClose();
    }
    if (aborted_) return;
    downloadsComplete_ = true;
    bool restartNow = true;
    if (OnEndUpgrade) OnEndUpgrade(restartNow);
    state_ = State::Idle;
    if (restartNow) restart();
}

bool TAutoUpgrader::filesMatch(std::string& mismatch) const {
    for (const auto& f : files_) {
        const std::string name = UpdateInfo::fileNameOf(f.url);
        const std::string path = programFolder() + name + kDownloadSuffix;
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (ec || size != *f.size || fileSha256(path) != f.sha256) {
            mismatch = name;
            return false;
        }
    }
    return true;
}

void TAutoUpgrader::restart() {
    const std::string folder = programFolder();
    if (!downloadsComplete_) UpgradeList::removeDownloads(folder);
    // What is handed over is every listed file, each still as it was checked.
    std::string mismatch;
    if (!filesMatch(mismatch))
        return refuse("The downloaded file " + mismatch + " does not match the update information.");
    std::vector<std::string> names;
    for (const auto& f : files_) names.push_back(UpdateInfo::fileNameOf(f.url));
    const UpgradePlan plan =
        UpgradeList::plan(folder, names, fileNamePart(ProgramPath), method_ == TUpgradeMethod::UseExternalSetup);
    const std::string upgrader = upgraderPath(TempFolder, folder);
    const std::string_view image = upgraderImage();
    if (!UpgradeList::write(folder, plan)) return refuse("The update cannot be written to " + folder);
    IoResult written = writeFileAtomic(upgrader, image);
    if (!written || !makeExecutable(upgrader))
        return refuse("The replacement program cannot be written to " + upgrader + ": " + written.error);
    std::string error;
    const std::string digit = method_ == TUpgradeMethod::UseExternalSetup ? "1" : "0";
    if (!StartUpgrader || !StartUpgrader(upgrader, {ProgramPath, "+" + RestartParams + digit}, &error)) {
        deleteFile(upgrader);
        return refuse("The replacement program cannot be started: " + error);
    }
    // The lock stays with this instance until it ends, so no start-up in between
    // touches the files the replacement program is about to put in place.
    state_ = State::HandedOver;
    finish(TUpdateEnd::Restarting, "");
    if (CloseApplication) CloseApplication();
}

void TAutoUpgrader::endDownload() {
    if (wizardOpen_) {
        wizardOpen_ = false;
        ui_.wizardClose();
    }
    // An update that does not complete leaves nothing of itself behind; without
    // the lock the downloads in the folder are another instance's.
    if (!lock_) return;
    UpgradeList::removeDownloads(programFolder());
    lock_->removeFile();
    lock_.reset();
}

void TAutoUpgrader::refuse(const std::string& reason) {
    endDownload();
    state_ = State::Idle;
    checking_ = false;
    if (OnRefused) OnRefused(reason);
    finish(TUpdateEnd::Refused, reason);
}

void TAutoUpgrader::finish(TUpdateEnd end, const std::string& text) {
    checking_ = false;
    if (OnFinished) OnFinished(end, text);
}

}  // namespace vantor
