// orintool page, project and install: the script files as text and back.
//   page dis FILE.osb [-o OUT.txt] [--self NAME]   page asm FILE.txt -o FILE.osb
//   page patch TEXTDIR -o PATCHDIR
//   project dis orin.opb [-o OUT.txt]              project asm FILE.txt -o orin.opb
//   install dis install.dat                        install asm FILE.txt -o install.dat
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/orintool/commands.h"
#include "core/cp932.h"
#include "core/error.h"
#include "core/text.h"
#include "resources/host_error.h"
#include "resources/install_set.h"
#include "resources/stream.h"
#include "script/page.h"
#include "script/page_text.h"
#include "script/project_file.h"
#include "script/project_text.h"

namespace orin::tool {

namespace {

[[noreturn]] void Fail(const std::string& hostPath, const std::string& cp932What) {
  std::string text = HostPathText(hostPath);
  text += ": ";
  text += cp932What;
  throw Error(text);
}

void ReadInput(const std::string& path, MemoryStream& data) {
  try {
    data.LoadFromFile(path);
  } catch (const Error& e) {
    Fail(path, e.Message());
  }
}

// Writes bytes to path (renamed into place when complete); "-" or an empty path is stdout.
void WriteOutput(const std::string& path, std::string_view bytes) {
  if (path.empty() || path == "-") {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return;
  }
  WriteFileAtomically(path, bytes.data(), bytes.size());
}

// The text of a text form, whose errors name the file.
std::string ReadText(const std::string& path) {
  MemoryStream data;
  ReadInput(path, data);
  return std::string(data.View());
}

template <class F>
void WithFileName(const std::string& path, F&& f) {
  try {
    f();
  } catch (const Error& e) {
    Fail(path, e.Message());
  }
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void Warn(const char* command, const std::string& path, const char* what) {
  std::fprintf(stderr, "orintool %s: %s: warning: %s\n", command, path.c_str(), what);
}

// asm of every text form: the text of the one input, built by build(text, out) into the bytes
// written to -o; nothing is written unless the whole text builds.
template <class F>
int Assemble(const ArgParser& args, F&& build) {
  args.ExpectPositionals(1, 1);
  if (!args.Has("-o")) throw UsageError("asm needs -o OUT");
  const std::string in = args.Positionals()[0];
  const std::string text = ReadText(in);
  MemoryStream out;
  WithFileName(in, [&] { build(text, out); });
  WriteOutput(args.Value("-o"), out.View());
  return kOk;
}

// dis and asm of one text form; dis takes the options disOptions, each with a value.
int RunDisAsm(const std::vector<std::string>& all, int (*dis)(const ArgParser&), int (*assemble)(const ArgParser&),
              std::vector<std::string> disOptions = {"-o"}) {
  if (all.empty()) throw UsageError("missing subcommand");
  std::vector<std::string> rest(all.begin() + 1, all.end());
  if (all[0] == "dis") return dis(ArgParser(rest, {}, disOptions));
  if (all[0] == "asm") return assemble(ArgParser(rest, {}, {"-o"}));
  throw UsageError("unknown subcommand " + all[0]);
}

int PageDis(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const std::string in = args.Positionals()[0];
  MemoryStream data;
  ReadInput(in, data);
  TPage page;
  page.Name = HostPathText(BaseName(in));
  PageLoadResult result = PageLoadResult::kLoaded;
  WithFileName(in, [&] { result = page.LoadFromStream(data, nullptr); });
  if (result == PageLoadResult::kTooNew)
    Fail(in, Format("page version %d is newer than %d: the player reads it as an empty page", page.Version,
                    kNewestScriptVersion));
  if (result == PageLoadResult::kTooOld)
    Fail(in, Format("page version %d is too old: the player asks for a rebuild", page.Version));
  PageTextOptions options;
  options.SelfName = args.Has("--self") ? HostPathText(args.Value("--self")) : page.Name;
  std::string text = PageToText(page, options);

  // Stored forms that no text can express (a negative string length, which reads as empty)
  // are the only way back to other bytes; say so rather than pass it over.
  TPage check;
  MemoryStream rebuilt;
  PageFromText(text, check);
  check.SaveToStream(rebuilt);
  if (rebuilt.View() != data.View()) Warn("page dis", in, "the text does not rebuild the page byte for byte");
  WriteOutput(args.Value("-o"), text);
  return kOk;
}

int PageAsm(const ArgParser& args) {
  return Assemble(args, [](const std::string& text, MemoryStream& out) {
    TPage page;
    PageFromText(text, page);
    page.SaveToStream(out);
  });
}

// Every page text under a folder built into a patch folder (orinplay --patch) under the same
// relative names; all of them are built before the first is written, so a mistake in one leaves
// the patch folder as it was.
int PagePatch(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  if (!args.Has("-o")) throw UsageError("patch needs -o PATCHDIR");
  namespace fs = std::filesystem;
  const fs::path in = args.Positionals()[0], out = args.Value("-o");
  std::error_code ec;
  if (!fs::is_directory(in, ec)) Fail(in.string(), "not a folder");
  std::vector<fs::path> texts;
  for (fs::recursive_directory_iterator it(in, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && it->path().extension() == ".txt") texts.push_back(it->path());
  if (ec) Fail(in.string(), ec.message());
  std::sort(texts.begin(), texts.end());
  std::vector<std::pair<fs::path, std::string>> built;
  for (const fs::path& text : texts) {
    MemoryStream page;
    const std::string source = ReadText(text.string());
    WithFileName(text.string(), [&] {
      TPage p;
      PageFromText(source, p);
      p.SaveToStream(page);
    });
    fs::path target = out / fs::relative(text, in);
    target.replace_extension(".osb");
    built.emplace_back(target, std::string(page.View()));
  }
  for (const auto& [target, bytes] : built) {
    fs::create_directories(target.parent_path(), ec);
    WriteOutput(target.string(), bytes);
  }
  std::printf("%zu pages\n", built.size());
  return kOk;
}

int RunPage(const std::vector<std::string>& all) {
  if (!all.empty() && all[0] == "patch")
    return PagePatch(ArgParser(std::vector<std::string>(all.begin() + 1, all.end()), {}, {"-o"}));
  return RunDisAsm(all, PageDis, PageAsm, {"-o", "--self"});
}

int ProjectDis(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const std::string in = args.Positionals()[0];
  MemoryStream data;
  ReadInput(in, data);
  ProjectFile project;
  bool read = false;
  WithFileName(in, [&] { read = project.LoadFromStream(data); });
  if (!read)
    Fail(in, Format("project version %d is newer than %d: the player does not start it", project.Version,
                    kNewestScriptVersion));
  if (data.Remaining() > 0) Warn("project dis", in, "bytes after the folder-disk list are not part of the text");
  std::string text = ProjectToText(project);
  ProjectFile check;
  MemoryStream rebuilt;
  ProjectFromText(text, check);
  check.SaveToStream(rebuilt);
  if (rebuilt.View() != data.View().substr(0, static_cast<size_t>(data.GetPosition())))
    Warn("project dis", in, "the text does not rebuild the project byte for byte");
  WriteOutput(args.Value("-o"), text);
  return kOk;
}

int ProjectAsm(const ArgParser& args) {
  return Assemble(args, [](const std::string& text, MemoryStream& out) {
    ProjectFile project;
    ProjectFromText(text, project);
    project.SaveToStream(out);
  });
}

int RunProject(const std::vector<std::string>& all) { return RunDisAsm(all, ProjectDis, ProjectAsm); }

int InstallDis(const ArgParser& args) {
  args.ExpectPositionals(1, 1);
  const std::string in = args.Positionals()[0];
  MemoryStream data;
  ReadInput(in, data);
  TOrinInstallSet set;
  WithFileName(in, [&] { set.LoadFromStream(data); });
  WriteOutput(args.Value("-o"), InstallSetToText(set));
  return kOk;
}

int InstallAsm(const ArgParser& args) {
  return Assemble(args, [](const std::string& text, MemoryStream& out) {
    TOrinInstallSet set;
    InstallSetFromText(text, set);
    set.SaveToStream(out);
  });
}

int RunInstall(const std::vector<std::string>& all) { return RunDisAsm(all, InstallDis, InstallAsm); }

}  // namespace

extern const Command kPageCommand = {
    "page", "script pages as text and back",
    "usage:\n"
    "  orintool page dis FILE.osb [-o OUT.txt] [--self NAME]\n"
    "  orintool page asm FILE.txt -o FILE.osb\n"
    "  orintool page patch TEXTDIR -o PATCHDIR\n"
    "dis prints the page as text (to OUT.txt with -o); asm builds the page from such text, and\n"
    "asm of the text of dis gives the page back byte for byte. Jump and Call targets into the\n"
    "page itself (its file name, or NAME) are written as labels. The text form is described in\n"
    "docs/page-text.md. patch builds every .txt under TEXTDIR into PATCHDIR under the same\n"
    "relative name with .osb, for orinplay --patch (docs/translating.md); nothing is written\n"
    "unless every text builds.\n",
    RunPage};

extern const Command kProjectCommand = {
    "project", "the project file orin.opb as text and back",
    "usage:\n"
    "  orintool project dis orin.opb [-o OUT.txt]\n"
    "  orintool project asm FILE.txt -o orin.opb\n"
    "The text form is described in docs/project-text.md.\n",
    RunProject};

extern const Command kInstallCommand = {
    "install", "install sets (install.dat) as text and back",
    "usage:\n"
    "  orintool install dis install.dat [-o OUT.txt]\n"
    "  orintool install asm FILE.txt -o install.dat\n"
    "The text names the identifier, the disc index and the full-install flag (docs/project-text.md);\n"
    "the installer's own fields are written zero or empty.\n",
    RunInstall};

}  // namespace orin::tool
