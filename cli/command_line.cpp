#include "command_line.h"

#include <map>
#include <regex>
#include <utility>
#include <vector>

#include "core/safe_file.h"
#include "zel/version.h"

namespace zel::cli {

// CLI11's help with Greek labels, each command's usage line as we write it,
// and the program's own list of its commands.
class GreekFormatter : public CLI::Formatter {
 public:
  GreekFormatter() {
    for (const auto& [english, greek] : kLabels) label(english, greek);
  }

  void SetUsage(const CLI::App* command, std::string usage) { usages_[command] = std::move(usage); }
  std::string UsageOf(const CLI::App* command) const {
    const auto u = usages_.find(command);
    return u == usages_.end() ? std::string() : u->second;
  }

  // "Χρήση: zelctl transfer read FILE KIND... [--lan ...]"
  std::string make_usage(const CLI::App* app, std::string name) const override {
    return get_label("Usage") + ": " + name + ' ' + UsageOf(app) + '\n';
  }

  // Option groups are named in English by CLI11 ("Options"); ours are
  // given their Greek name here.
  std::string make_group(std::string group, bool is_positional, std::vector<const CLI::Option*> opts) const override {
    return Formatter::make_group(get_label(group), is_positional, std::move(opts));
  }

  // CLI11 pads the name column by bytes, and a Greek letter takes two in
  // UTF-8: the column is padded by characters instead.
  std::string make_option(const CLI::Option* opt, bool is_positional) const override {
    std::string out = "  " + make_option_name(opt, is_positional) + make_option_opts(opt);
    const std::string description = make_option_desc(opt);
    if (!description.empty()) {
      const std::size_t width = Characters(out);
      const std::string indent(column_width_, ' ');
      out += width < column_width_ ? std::string(column_width_ - width, ' ') : '\n' + indent;
      for (const char c : description) {
        out += c;
        if (c == '\n') out += indent;
      }
    }
    return out + '\n';
  }

  // The program's own help is the list of its commands, as zelctl has
  // always printed it.
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    if (app->get_parent() != nullptr) return Formatter::make_help(app, std::move(name), mode);
    std::string out = get_label("Usage") + ": zelctl ΕΝΤΟΛΗ [ΟΡΙΣΜΑΤΑ]\n       zelctl --version\n\n";
    for (const CLI::App* c : app->get_subcommands({}))
      out += "  " + c->get_name() + ' ' + UsageOf(c) + "\n      " + c->get_description() + '\n';
    return out + "\nΒοήθεια για μία εντολή: zelctl ΕΝΤΟΛΗ --help\n";
  }

 private:
  static std::size_t Characters(const std::string& utf8) {
    std::size_t n = 0;
    for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
  }

  // Every label CLI11's formatter asks for, and the type names it shows
  // for an option that names none of its own.
  static constexpr std::pair<const char*, const char*> kLabels[] = {
      {"Usage", "Χρήση"},
      {"OPTIONS", "ΕΠΙΛΟΓΕΣ"},
      {"SUBCOMMAND", "ΕΝΤΟΛΗ"},
      {"SUBCOMMANDS", "ΕΝΤΟΛΕΣ"},
      {"Positionals", "Ορίσματα"},
      {"Options", "Επιλογές"},
      {"REQUIRED", "(υποχρεωτικό)"},
      {"Env", "μεταβλητή περιβάλλοντος"},
      {"Needs", "θέλει και"},
      {"Excludes", "όχι μαζί με"},
      {"TEXT", "ΚΕΙΜΕΝΟ"},
      {"INT", "ΑΚΕΡΑΙΟΣ"},
      {"UINT", "ΑΚΕΡΑΙΟΣ"},
      {"FLOAT", "ΑΡΙΘΜΟΣ"},
      {"BOOLEAN", "ΝΑΙ/ΟΧΙ"},
  };

  std::map<const CLI::App*, std::string> usages_;
};

namespace {

// The English of each CLI11 error that our commands can meet, by the
// error's name, and its Greek ($1, $2, ... are the parts CLI11 put in).
struct Wording {
  const char* error;
  std::regex english;
  const char* greek;
};

const std::vector<Wording>& Wordings() {
  static const std::vector<Wording> table = {
      {"RequiredError", std::regex("(.+) is required"), "λείπει το $1"},
      {"ArgumentMismatch", std::regex("(\\S+): 1 required .* missing"), "λείπει η τιμή του $1"},
      {"ArgumentMismatch", std::regex("(\\S+): (\\d+) required .* missing"), "το $1 θέλει $2 τιμές"},
      {"ArgumentMismatch", std::regex("Expected (?:exactly|at least) (\\d+) arguments to (.+), got (\\d+)"),
       "το $2 θέλει $1 τιμές (δόθηκαν $3)"},
      {"ArgumentMismatch", std::regex("(.+): At least (\\d+) required but received (\\d+)"),
       "το $1 θέλει τουλάχιστον $2 τιμές (δόθηκαν $3)"},
      {"ArgumentMismatch", std::regex("(.+): At Most (\\d+) required but received (\\d+)"),
       "το $1 θέλει έως $2 τιμές (δόθηκαν $3)"},
      {"ArgumentMismatch", std::regex("(.+) was given a disallowed flag override"), "το --$1 δεν παίρνει τιμή"},
      {"ConversionError", std::regex("(.+): too many inputs for a flag"), "το $1 δεν παίρνει τιμή"},
      {"ConversionError", std::regex("(.+): Should be true/false or a number"), "λάθος τιμή για $1"},
      {"ConversionError", std::regex("Could not convert: (.+) = (.*)"), "λάθος τιμή για $1: $2"},
      {"ConversionError", std::regex("The value (.+) is not an allowed value for (.+)"), "λάθος τιμή για $2: $1"},
      {"ValidationError", std::regex("([^:]+): (.*) not in \\{(.*)\\}"), "λάθος τιμή για $1: $2 (ένα από $3)"},
      {"ValidationError", std::regex("([^:]+): Value (.*) not in range (.+) to (.+)"),
       "λάθος τιμή για $1: $2 (από $3 έως $4)"},
      // Our own checks say the rest in Greek.
      {"ValidationError", std::regex("([^:]+): (.*)"), "λάθος τιμή για $1: $2"},
      {"ExcludesError", std::regex("(.+) excludes (.+)"), "το $1 δεν δίνεται μαζί με το $2"},
      {"RequiresError", std::regex("(.+) requires (.+)"), "το $1 θέλει και το $2"},
  };
  return table;
}

std::string Commands(const CLI::App* command) {
  std::string names;
  for (const CLI::App* c : command->get_subcommands({})) names += (names.empty() ? "" : ", ") + c->get_name();
  return names;
}

// The first argument the parser left over for `command` ("--" aside), or
// nothing.
std::string LeftOver(const CLI::App* command) {
  for (const std::string& left : command->remaining())
    if (left != "--") return left;
  return {};
}

// What a CLI11 error says, in Greek.
std::string InGreek(const CLI::App* command, const CLI::Error& e) {
  const std::string english = e.what();
  if (e.get_name() == "RequiredError" && english == "A subcommand is required")
    return "λείπει η εντολή (" + Commands(command) + ")";
  std::smatch m;
  for (const Wording& w : Wordings())
    if (e.get_name() == w.error && std::regex_match(english, m, w.english)) return EscapedControls(m.format(w.greek));
  return "η γραμμή εντολής δεν έγινε κατανοητή";
}

}  // namespace

CommandLine::CommandLine() : formatter_(std::make_shared<GreekFormatter>()), program_("", "zelctl") {
  // Set before any command is added: each command takes these over.
  program_.formatter(formatter_);
  program_.set_help_flag("-h,--help", "δείχνει αυτή τη βοήθεια");
  program_.set_version_flag("--version", "zelctl " + std::string(kVersion), "δείχνει την έκδοση");
  program_.require_subcommand(1);
  program_.group("Εντολές");
  // An option given twice counts once, with its last value; a flag takes
  // no value ("--force=3").
  program_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();
  // The program's list of its commands (not the help of a command named).
  const auto List = [this](const CLI::App* program) {
    return formatter_->make_help(program, program->get_name(), CLI::AppFormatMode::Normal);
  };
  program_.failure_message([this, List](const CLI::App* program, const CLI::Error& e) {
    // The command the error belongs to: the last one named. An argument
    // left over (an unknown option, a word too many) is the first thing to
    // say, whatever CLI11 tripped over after it.
    const CLI::App* command = program;
    std::string path = program->get_name();
    std::string left = LeftOver(program);
    while (left.empty() && !command->get_subcommands().empty()) {
      command = command->get_subcommands().front();
      path += ' ' + command->get_name();
      left = LeftOver(command);
    }
    const bool option = left.size() > 1 && left[0] == '-';
    const std::string shown = EscapedControls(option ? left.substr(0, left.find('=')) : left);
    if (command == program) {
      if (left.empty()) return List(program);  // no command named at all
      return (option ? path + ": άγνωστη επιλογή " + shown : "Άγνωστη εντολή: " + shown) + "\n\n" + List(program);
    }
    const std::string said = left.empty()                           ? InGreek(command, e)
                             : option                               ? "άγνωστη επιλογή " + shown
                             : command->get_subcommands({}).empty() ? "άγνωστο όρισμα " + shown
                                                                    : "άγνωστη εντολή " + shown;
    return path + ": " + said + '\n' + formatter_->make_usage(command, path);
  });
}

CommandLine::~CommandLine() = default;

CLI::App* CommandLine::Add(const std::string& name, const std::string& usage, const std::string& about,
                           const std::string& footer) {
  return Add(program_, name, usage, about, footer);
}

CLI::App* CommandLine::Add(CLI::App& parent, const std::string& name, const std::string& usage,
                           const std::string& about, const std::string& footer) {
  CLI::App* command = parent.add_subcommand(name, about);
  command->footer(footer);
  formatter_->SetUsage(command, usage);
  return command;
}

void CommandLine::Runs(CLI::App* command, std::function<int()> body) {
  command->callback([this, body = std::move(body)] { chosen_ = body; });
}

int CommandLine::Run(int argc, const char* const* argv) {
  try {
    program_.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version print and end with 0; the rest is misuse.
    return program_.exit(e) == 0 ? 0 : 2;
  }
  // The whole command line was understood: only now does the command run.
  return chosen_();
}

}  // namespace zel::cli
