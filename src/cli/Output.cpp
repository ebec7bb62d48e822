#include "cli/Output.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iterator>

namespace pellora::cli {

namespace {

// The signals that end the program by default while it waits at a prompt.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The terminal's settings from before the typing was hidden, and the signal
// actions from before ours, while a password is being typed.
termios gSavedTerminal{};
struct sigaction gSavedActions[std::size(kEndingSignals)]{};

// Ctrl-C at the prompt must not leave the shell without echo. Only
// async-signal-safe calls here; the signal is raised again with its default
// action (SA_RESETHAND) once this returns, so the program still ends by it
// and the shell sees the status it expects.
extern "C" void RestoreTerminalAndEnd(int number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
  ::raise(number);
}

void HideTyping(const termios& saved) {
  gSavedTerminal = saved;
  struct sigaction action {};
  action.sa_handler = RestoreTerminalAndEnd;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int number : kEndingSignals) sigaddset(&action.sa_mask, number);
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    ::sigaction(kEndingSignals[i], &action, &gSavedActions[i]);
    // A signal ignored by whoever started us (nohup) stays ignored.
    if (gSavedActions[i].sa_handler == SIG_IGN) ::sigaction(kEndingSignals[i], &gSavedActions[i], nullptr);
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
}

void ShowTyping() {
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSavedTerminal);
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
    ::sigaction(kEndingSignals[i], &gSavedActions[i], nullptr);
}

}  // namespace

void StdoutLog::Put(std::string_view text) {
  if (text.empty()) return;
  if (progress_) progress_->Clear();
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  lineOpen_ = out.back() != '\n';
}

void StdoutLog::AddLine(std::string_view text) {
  // A new line of the log window starts below whatever text is there.
  if (lineOpen_) Put("\n");
  std::string_view step = text;
  while (!step.empty() && (step.front() == '\r' || step.front() == '\n')) step.remove_prefix(1);
  if (step.substr(0, 2) == "* ") lastStep_ = std::string(step.substr(2, step.find('\r')));
  Put(text);
  Put("\n");
}

void StdoutLog::AppendText(std::string_view text) { Put(text); }

void PrintError(std::string_view text) {
  std::fflush(stdout);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
}

int Refuse(std::string_view text) {
  PrintError(text);
  return kExitRefused;
}

int Refuse(const Refusal& refusal) { return Refuse(refusal.Text); }

void PrintLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool ReadSecretLine(std::string& out, const char* prompt) {
  out.clear();
  termios saved{};
  const bool terminal = ::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    // The prompt comes last: once it shows, the typing is hidden.
    HideTyping(saved);
    std::fputs(prompt, stderr);
    std::fflush(stderr);
  }
  // Byte by byte from the descriptor: nothing beyond the line is taken from
  // a pipe that another reader may share.
  bool failed = false;
  for (;;) {
    char c = 0;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    if (c == '\n') break;
    out += c;
  }
  if (terminal) {
    ShowTyping();
    std::fputc('\n', stderr);
  }
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return !failed;
}

}  // namespace pellora::cli
