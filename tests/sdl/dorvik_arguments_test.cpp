// dorvik run as a program with arguments: what it answers, on which stream,
// and with which status. Run without a display, so that any attempt to open
// the window would end with status 1 and a complaint about the display.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

ProgramRun Dorvik(const std::string& arguments) {
  const fs::path dir = fs::temp_directory_path();
  const fs::path out = dir / "dorvik_arguments_test.out";
  const fs::path err = dir / "dorvik_arguments_test.err";
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(DORVIK) + " " +
                              arguments + " >" + out.string() + " 2>" + err.string();
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
}

TEST(DorvikArguments, AnswersItsOptionsAndRefusesAnythingElse) {
  struct Case {
    const char* arguments;
    int status;
    // Exact standard output, or the text it must begin with when `exact` is false.
    const char* out;
    bool exact;
    // Text the one line on standard error must hold (nothing: no error output).
    const char* err_names;
  };
  const Case cases[] = {
      {"--version", 0, "dorvik 1.00\n", true, nullptr},
      {"--help", 0, "usage: dorvik [--help | --version]\n", false, nullptr},
      {"-h", 2, "", true, "'-h'"},
      {"--versions", 2, "", true, "'--versions'"},
      {"''", 2, "", true, "''"},
      {"--help --version", 2, "", true, "'--version'"},
      {"frames.bmp --help", 2, "", true, "'frames.bmp'"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = Dorvik(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
    if (c.exact) {
      EXPECT_EQ(run.out, c.out) << c.arguments;
    } else {
      EXPECT_EQ(run.out.rfind(c.out, 0), 0u) << c.arguments << ": " << run.out;
    }
    if (c.err_names == nullptr) {
      EXPECT_EQ(run.err, "") << c.arguments;
    } else {
      EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << c.arguments << ": " << run.err;
      EXPECT_NE(run.err.find(c.err_names), std::string::npos) << c.arguments << ": " << run.err;
      EXPECT_NE(run.err.find("usage: dorvik"), std::string::npos) << c.arguments << ": " << run.err;
    }
  }
}

}  // namespace
