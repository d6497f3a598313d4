#include "tests/support/smtp_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

extern char** environ;

namespace test_support {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(5);

std::string read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Reads the first line the server prints, within the deadline; empty on time-out or end.
std::string read_first_line(int fd, Clock::time_point deadline) {
  std::string line;
  while (line.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return {};
    pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[64];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return {};
    line.append(buffer, static_cast<std::size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

}  // namespace

SmtpPeer::SmtpPeer(Account account, Behaviour behaviour) {
  char pattern[] = "/tmp/smtp_peer.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return;
  directory_ = pattern;

  int control[2];
  int output[2];
  if (pipe2(control, O_CLOEXEC) != 0) return;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(control[0]);
    close(control[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, control[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);

  const std::string script = WRISTBOAT_SOURCE_DIR "/tests/support/smtp_peer.py";
  const std::string directory = directory_.string();
  std::vector<std::string> arguments{WRISTBOAT_PYTHON, script,          "--directory",
                                     directory,        "--user",        account.user,
                                     "--password",     account.password};
  if (behaviour.refuse_login) arguments.emplace_back("--refuse-login");
  if (behaviour.stall_after_data) arguments.emplace_back("--stall-after-data");
  if (behaviour.trickle_after_data) arguments.emplace_back("--trickle-after-data");
  if (!behaviour.tls_certificate.empty() && !behaviour.tls_key.empty()) {
    arguments.insert(arguments.end(), {"--tls-certificate", behaviour.tls_certificate.string(),
                                       "--tls-key", behaviour.tls_key.string()});
    if (behaviour.refuse_starttls) arguments.emplace_back("--refuse-starttls");
  }
  arguments.insert(arguments.end(), {"--command-log", (directory_ / "commands").string()});
  arguments.emplace_back("--reply-delay");
  arguments.push_back(std::to_string(std::chrono::duration<double>(behaviour.reply_delay).count()));
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  const int spawned = posix_spawn(&pid_, WRISTBOAT_PYTHON, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(control[0]);
  close(output[1]);
  control_fd_ = control[1];
  port_fd_ = output[0];
  if (spawned != 0) {
    pid_ = -1;
    return;
  }
  const std::string line = read_first_line(port_fd_, Clock::now() + kStartTimeout);
  port_ = line.empty() ? 0 : std::atoi(line.c_str());
}

SmtpPeer::~SmtpPeer() {
  stop();
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

void SmtpPeer::stop() {
  if (control_fd_ >= 0) close(control_fd_);
  control_fd_ = -1;
  if (pid_ > 0) {
    const auto deadline = Clock::now() + kStopTimeout;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (Clock::now() >= deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }
  if (port_fd_ >= 0) close(port_fd_);
  port_fd_ = -1;
  port_ = 0;
}

std::vector<ReceivedMail> SmtpPeer::mails() const {
  std::vector<std::pair<int, std::filesystem::path>> numbered;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() &&
        std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      numbered.emplace_back(std::atoi(name.c_str()), entry.path());
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<ReceivedMail> mails;
  for (const auto& [number, path] : numbered) {
    mails.push_back(ReceivedMail{
        .raw = read_file(path / "raw"),
        .mail_from = read_file(path / "mail_from"),
        .rcpt_tos = lines_of(read_file(path / "rcpt_tos")),
        .login = read_file(path / "login"),
        .password = read_file(path / "password"),
        .subject = read_file(path / "subject"),
        .content_type = read_file(path / "content_type"),
        .charset = read_file(path / "charset"),
        .body = read_file(path / "body"),
    });
  }
  return mails;
}

std::vector<SmtpCommand> SmtpPeer::commands() const {
  std::vector<SmtpCommand> commands;
  for (const std::string& line : lines_of(read_file(directory_ / "commands"))) {
    if (line.rfind("LOGIN ", 0) == 0) continue;
    const auto space = line.find(' ');
    commands.push_back(
        {line.substr(0, space), space != std::string::npos && line.substr(space + 1) == "tls"});
  }
  return commands;
}

std::vector<SmtpLogin> SmtpPeer::logins() const {
  std::vector<SmtpLogin> logins;
  for (const std::string& line : lines_of(read_file(directory_ / "commands"))) {
    std::istringstream fields(line);
    std::string word, channel;
    SmtpLogin login;
    if (!(fields >> word >> channel) || word != "LOGIN") continue;
    fields >> login.user >> login.password;
    login.over_tls = channel == "tls";
    logins.push_back(std::move(login));
  }
  return logins;
}

}  // namespace test_support
