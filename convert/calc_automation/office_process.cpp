// Starting and ending soffice.bin for the helper.
#include "convert/calc_automation/office_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace tabulor::calc {

namespace {

// The office's program folder. TABULOR_LIBREOFFICE_PROGRAM overrides it (tests use an empty
// folder to play an uninstalled office).
std::string programDir() {
  const char* dir = std::getenv("TABULOR_LIBREOFFICE_PROGRAM");
  return dir && *dir ? dir : LO_PROGRAM_DIR;
}

constexpr char ProfilePrefix[] = "tabulor-calc-";

bool writableFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && path[0] == '/' && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Where private profiles live: a memory file system where there is one (the user's runtime
// folder, or /dev/shm), /tmp otherwise. A profile holds some fifty folders, and on a disk
// removing them costs a fifth of a second at the end of every run.
std::string profileRoot() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && writableFolder(runtime)) return runtime;
  if (writableFolder("/dev/shm")) return "/dev/shm";
  return "/tmp";
}

// Profiles (and pipe sockets) of helpers that were killed with tabulor before they could
// delete them: named after the helper's PID, removed once that process is gone.
void removeStaleProfiles(const std::string& root) {
  // The office's pipe socket (in /tmp) is named after the pipe, which is named after the
  // profile.
  const std::string socketPrefix = "OSL_PIPE_" + std::to_string(::getuid()) + "_" + ProfilePrefix;
  std::vector<std::string> folders = {root};
  if (root != "/tmp") folders.push_back("/tmp");
  for (const std::string& folder : folders) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      std::string name = entry.path().filename().string();
      size_t pidAt = name.rfind(ProfilePrefix, 0) == 0  ? sizeof ProfilePrefix - 1
                     : name.rfind(socketPrefix, 0) == 0 ? socketPrefix.size()
                                                        : std::string::npos;
      if (pidAt == std::string::npos) continue;
      long pid = std::strtol(name.c_str() + pidAt, nullptr, 10);
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
      }
    }
  }
}

bool executable(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}
bool readable(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

// A profile an office has finished with, kept per user to seed the next private profile:
// a fresh profile costs a first-start set-up and a restart of the office (exit status 81).
std::string profileTemplatePath() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  if (cache && *cache == '/') return std::string(cache) + "/tabulor/calc-profile";
  if (home && *home == '/') return std::string(home) + "/.cache/tabulor/calc-profile";
  return {};
}

}  // namespace

std::string missingOfficeParts() {
  const std::string dir = programDir();
  if (!executable(dir + "/soffice.bin")) return "LibreOffice is not installed.";
  if (!readable(dir + "/libscfiltlo.so") || !readable(dir + "/libsclo.so"))
    return "LibreOffice Calc is not installed.";
  if (!readable(dir + "/types/offapi.rdb")) return "LibreOffice's type library is missing.";
  return {};
}

bool OfficeProcess::profileWanted() const {
  const std::string seed = profileTemplatePath();
  std::error_code ignored;
  return started_ && !seed.empty() && !std::filesystem::exists(seed, ignored);
}

bool OfficeProcess::start(std::string* why) {
  const std::string root = profileRoot();
  removeStaleProfiles(root);
  std::string folder = root + "/" + ProfilePrefix + std::to_string(::getpid()) + "-XXXXXX";
  if (!::mkdtemp(folder.data())) {
    *why = std::string("Cannot create a profile folder: ") + std::strerror(errno);
    return false;
  }
  profile_ = folder;
  const std::string seed = profileTemplatePath();
  std::error_code ec;
  if (!seed.empty() && std::filesystem::is_directory(seed, ec)) {
    std::filesystem::copy(seed, profile_, std::filesystem::copy_options::recursive, ec);
    seeded_ = !ec;
  }
  pipeName_ = std::filesystem::path(profile_).filename().string();  // unique as the folder is
  connectUrl_ = "uno:pipe,name=" + pipeName_ + ";urp;StarOffice.ComponentContext";
  return spawn(why);
}

bool OfficeProcess::spawn(std::string* why) {
  const std::string program = programDir() + "/soffice.bin";
  std::vector<std::string> args = {
      program,
      "--headless",
      "--invisible",
      "--nologo",
      "--norestore",
      "--nodefault",
      "--nolockcheck",
      "-env:UserInstallation=file://" + profile_,
      "--accept=pipe,name=" + pipeName_ + ";urp;StarOffice.ComponentContext"};
  // The office's CSV output and its file names follow the locale: make it UTF-8.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LANG=", 5) != 0 && std::strncmp(*e, "LC_ALL=", 7) != 0) env.push_back(*e);
  env.push_back("LANG=C.UTF-8");
  env.push_back("LC_ALL=C.UTF-8");
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    *why = std::string("Cannot start LibreOffice: ") + std::strerror(errno);
    return false;
  }
  if (pid == 0) {
    // The office must not outlive this helper (nor, through it, tabulor).
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::close_range(3, ~0U, 0);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  pid_ = pid;
  return true;
}

bool OfficeProcess::running() {
  if (pid_ < 0) return false;
  int status = 0;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  // Reaped here: keep how it ended for restartIfAsked.
  pid_ = -1;
  exitStatus_ = r == -1 ? -1 : status;
  return false;
}

bool OfficeProcess::restartIfAsked(std::string* why) {
  if (running()) return false;
  const int status = exitStatus_;
  exitStatus_ = -1;
  if (seeded_ && restarts_ == 0 && status != -1 &&
      !(WIFEXITED(status) && WEXITSTATUS(status) == 81)) {
    // The kept profile did not work (say, after an office upgrade): drop it, start afresh.
    std::error_code ignored;
    std::filesystem::remove_all(profileTemplatePath(), ignored);
    std::filesystem::remove_all(profile_, ignored);
    std::filesystem::create_directory(profile_, ignored);
    seeded_ = false;
    ++restarts_;
    return spawn(why);
  }
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 81 || restarts_ >= 3) {
    if (status == -1)
      *why = "LibreOffice is not running.";
    else if (WIFEXITED(status))
      *why = "LibreOffice ended while starting (exit status " +
             std::to_string(WEXITSTATUS(status)) + ").";
    else
      *why = "LibreOffice ended while starting (signal " + std::to_string(WTERMSIG(status)) + ").";
    return false;
  }
  ++restarts_;
  return spawn(why);
}

void OfficeProcess::stop(double graceSeconds) {
  bool endedCleanly =
      pid_ < 0 && exitStatus_ != -1 && WIFEXITED(exitStatus_) && WEXITSTATUS(exitStatus_) == 0;
  if (pid_ >= 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(graceSeconds);
    for (;;) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r != 0) {
        endedCleanly = r == pid_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        break;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }
  if (!profile_.empty()) {
    std::error_code ignored;
    const std::string seed = profileTemplatePath();
    // Only a profile of an office that ended by itself is complete enough to keep; the
    // rename is atomic, and the first of several helpers to finish wins.
    if (endedCleanly && started_ && !seed.empty() && !std::filesystem::exists(seed, ignored)) {
      std::filesystem::create_directories(std::filesystem::path(seed).parent_path(), ignored);
      std::filesystem::remove(profile_ + "/.lock", ignored);
      std::filesystem::rename(profile_, seed, ignored);
      if (ignored) {
        // Another file system: copy beside the kept place, then rename into it.
        const std::string staged = seed + ".new-" + std::to_string(::getpid());
        std::filesystem::copy(profile_, staged, std::filesystem::copy_options::recursive, ignored);
        if (!ignored) std::filesystem::rename(staged, seed, ignored);
        std::filesystem::remove_all(staged, ignored);
      }
    }
    std::filesystem::remove_all(profile_, ignored);
    profile_.clear();
  }
}

}  // namespace tabulor::calc
