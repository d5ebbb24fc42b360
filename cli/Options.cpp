#include "cli/Options.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "core/Text.h"
#include "paths/PathText.h"
#include "regpol/LocalPolicy.h"

#ifdef _WIN32
#include "win32/AccountLookup.h"
#endif

namespace tarnwick::cli {

namespace {

// What follows an option, and so how it is read and checked.
enum class Takes : std::uint8_t {
    Nothing,    // a switch: given or not
    Letters,    // drive letters, into drives
    Policy,     // hide, prevent or both, into policy
    Path,       // quotes and blanks around it go, as in the window's boxes; nothing may be left
    Text,       // kept as typed (a name, not a path)
    Whom,       // administrators, non-administrators or a SID, kept as the SID
    Condition,  // a targeting condition: --group NAME, --ou DN, --user NAME
    Sid,        // the SID of the --group or --user before it
    Negation,   // --not: the condition before it negated
    HelpOnly,   // no option: a line of --help that names a group of options
};

// What an option sets: a switch its flag (none: only noted as given, as --all-but), a value its
// text; the other kinds have one place each.
struct Sets {
    Takes takes;
    bool Options::*on = nullptr;
    std::optional<std::string> Options::*text = nullptr;
};

constexpr Sets Switch(bool Options::*on = nullptr) {
    return {Takes::Nothing, on};
}
constexpr Sets Path(std::optional<std::string> Options::*text) {
    return {Takes::Path, nullptr, text};
}
constexpr Sets Text(std::optional<std::string> Options::*text) {
    return {Takes::Text, nullptr, text};
}

using Commands = std::uint16_t;

constexpr Commands Of(std::initializer_list<Command> commands) {
    Commands set = 0;
    for (Command command : commands)
        set |= Commands(1u << static_cast<unsigned>(command));
    return set;
}

using enum Command;
constexpr Commands kDriveCommands = Of({Make, Mask, Reg, Admx, Pol, Samba, Intune, Gpp});
constexpr Commands kWriters = Of({Make, Reg, Pol, Samba, Intune, Gpp});
constexpr Commands kValueSetters = Of({Reg, Pol, Samba, Intune, Gpp});

struct Option {
    std::string_view name;
    Commands commands;  // the commands that take it
    Sets sets;
    std::string_view valueName;  // --help's name for the value ("LETTERS")
    std::string_view help;       // its lines in --help, none for an option explained with another
};

// Every option, in the order of --help. An option more for a command is its name in `commands`.
constexpr Option kOptions[] = {
    {"--drives",
     kDriveCommands,
     {Takes::Letters},
     "LETTERS",
     "drive letters A to Z in any case, alone or separated by commas or colons:\n"
     "CDE, c,d,e, C:,D:"},
    {"--all-but", kDriveCommands, Switch(), "", "restrict every drive but the given ones"},
    {"--source", Of({Make}), Path(&Options::source), "PATH",
     "the template to copy (default on Windows: %windir%\\inf\\system.adm;\n"
     "required elsewhere)"},
    {"--output", kWriters, Path(&Options::output), "PATH",
     "make: the new template (default: in the source's folder, the source's file\n"
     "name with its extension replaced by _TRNW.adm); reg: the .reg file (default:\n"
     "standard output); pol: the .pol file; samba: the JSON file (default: standard\n"
     "output); intune: the folder for the two scripts (required)"},
    {"--force", kWriters, Switch(&Options::force), "",
     "replace an existing output file (pol --output: merge into it; pol --ldif:\n"
     "replace the LDIF file)"},
    {"--tsv", Of({Show}), Switch(&Options::tsv), "",
     "show: one line per item or value, nothing else, its fields tab-separated:\n"
     "five for a template's item, four for a value"},
    {"--language", Of({Show}), Path(&Options::language), "CULTURE",
     "show: the ADML folder beside an ADMX file (default en-US)"},
    {"--policy",
     kValueSetters,
     {Takes::Policy},
     "WHICH",
     "reg, pol, samba, intune: hide (NoDrives, the default), prevent\n"
     "(NoViewOnDrive) or both"},
    {"--dir", Of({Admx}), Path(&Options::folder), "FOLDER",
     "admx: the PolicyDefinitions folder: the local store (default on Windows:\n"
     "%windir%\\PolicyDefinitions) or a domain's central store; required on Linux,\n"
     "for example a Samba domain controller's sysvol/REALM/Policies/PolicyDefinitions"},
    {"--gpo", Of({Pol, Gpp}), Path(&Options::gpo), "FOLDER",
     "pol: a policy object's folder ({GUID} in SYSVOL; a GPMC backup is refused)"},
    {"GPO-OPTIONS",
     0,
     {Takes::HelpOnly},
     "",
     "pol --gpo, gpp: [--domain DNS-NAME] [--extensions VALUE] [--version-number N]\n"
     "[--ldif FILE [--force]]"},
    {"LOCAL-OPTIONS",
     0,
     {Takes::HelpOnly},
     "",
     "pol --local: [--for administrators|non-administrators|SID] [--now]"},
    {"--domain", Of({Pol, Gpp}), Text(&Options::domain), "DNS-NAME",
     "pol --gpo, gpp: the domain, for the LDIF's DN (default: a placeholder,\n"
     "DC=CHANGE-ME,DC=INVALID, to replace)"},
    {"--extensions", Of({Pol, Gpp}), Text(&Options::extensions), "VALUE",
     "pol --gpo, gpp: gPCUserExtensionNames as the entry holds it now; the LDIF\n"
     "deletes this value and adds it merged (without it, the LDIF only adds the\n"
     "value, which the directory refuses if one is there)"},
    {"--version-number", Of({Pol, Gpp}), Text(&Options::versionNumber), "N",
     "pol --gpo, gpp: versionNumber as the entry holds it now (default: gpt.ini's\n"
     "Version before the run); the LDIF deletes it and adds the new one, so the\n"
     "directory refuses an LDIF made from values changed since"},
    {"--ldif", Of({Pol, Gpp}), Path(&Options::ldif), "FILE",
     "pol --gpo, gpp: write the LDIF to FILE instead of printing it"},
    {"--local", Of({Pol, Show}), Switch(&Options::local), "",
     "pol: %SystemRoot%\\System32\\GroupPolicy, this computer's local policy; show:\n"
     "it and every local policy per group or user"},
    {"--for",
     Of({Pol}),
     {Takes::Whom, nullptr, &Options::forSid},
     "WHOM",
     "pol --local: the local policy of administrators, non-administrators or one\n"
     "user (SID): System32\\GroupPolicyUsers\\SID"},
    {"--now", Of({Pol}), Switch(&Options::now), "",
     "pol --local: have Windows apply user policy now, then check the values in force"},
    {"--remove", Of({Pol, Reg, Samba, Intune, Gpp}), Switch(&Options::remove), "",
     "pol: the values' records taken out (the policy \"Not configured\"); reg: a\n"
     ".reg file that deletes the values; samba: the JSON for samba-tool gpo remove;\n"
     "intune: the scripts that delete the values; gpp: the items rewritten with\n"
     "action Delete"},
    {"--disable", Of({Pol}), Switch(&Options::disable), "",
     "pol: the \"Disabled\" records (**del.NoDrives, **del.NoViewOnDrive)"},
    {"--here", Of({Show}), Switch(&Options::here), "",
     "show: the values under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE now"},
    {"--group",
     Of({Gpp}),
     {Takes::Condition},
     "NAME --sid SID",
     "gpp: only for members of this security group (DOMAIN\\Group and its SID;\n"
     "on Windows the SID is looked up when --sid is left out)"},
    {"--ou",
     Of({Gpp}),
     {Takes::Condition},
     "DN",
     "gpp: only for users in this OU or below (OU=Pupils,DC=contoso,DC=com)"},
    {"--user",
     Of({Gpp}),
     {Takes::Condition},
     "NAME --sid SID",
     "gpp: only for this user (DOMAIN\\name and its SID)"},
    {"--sid", Of({Gpp}), {Takes::Sid}, "", ""},
    {"--not",
     Of({Gpp}),
     {Takes::Negation},
     "",
     "gpp: the condition before it negated (not in the group, OU or user)"},
    {"--offline-profiles", Of({Intune}), Switch(&Options::offlineProfiles), "",
     "intune: also the profiles not signed in (NTUSER.DAT loaded for the run)"},
    {"--machine", Of({Intune}), Switch(&Options::machine), "",
     "intune: HKEY_LOCAL_MACHINE instead, for every user of the device"},
};

constexpr std::pair<std::string_view, Command> kCommands[] = {
    {"make", Make}, {"mask", Mask},   {"show", Show},     {"reg", Reg}, {"admx", Admx},
    {"pol", Pol},   {"samba", Samba}, {"intune", Intune}, {"gpp", Gpp},
};

// --help: the commands and what they do, then every option from the table, then the exit codes.
constexpr const char* kUsageHead = R"(Usage:
  tarnwick-cli make --drives LETTERS [--all-but] [--source PATH] [--output PATH] [--force]
  tarnwick-cli mask --drives LETTERS [--all-but]
  tarnwick-cli show FILE [--tsv] [--language CULTURE]
  tarnwick-cli reg --drives LETTERS [--all-but] [--policy hide|prevent|both] [--output PATH]
                   [--force]
  tarnwick-cli reg --remove [--policy hide|prevent|both] [--output PATH] [--force]
  tarnwick-cli admx --drives LETTERS [--all-but] [--dir FOLDER]
  tarnwick-cli pol --drives LETTERS [--all-but] [--policy hide|prevent|both]
                   (--output FILE [--force] | --gpo FOLDER [GPO-OPTIONS] | --local [LOCAL-OPTIONS])
  tarnwick-cli pol (--remove | --disable) [--policy hide|prevent|both]
                   (--output FILE [--force] | --gpo FOLDER [GPO-OPTIONS] | --local [LOCAL-OPTIONS])
  tarnwick-cli samba --drives LETTERS [--all-but] [--policy hide|prevent|both]
                     [--output FILE [--force]]
  tarnwick-cli samba --remove [--policy hide|prevent|both] [--output FILE [--force]]
  tarnwick-cli intune --drives LETTERS [--all-but] [--policy hide|prevent|both]
                      [--offline-profiles | --machine] --output FOLDER [--force]
  tarnwick-cli intune --remove [--policy hide|prevent|both] [--offline-profiles | --machine]
                      --output FOLDER [--force]
  tarnwick-cli gpp --drives LETTERS [--all-but] [--policy hide|prevent|both] --gpo FOLDER
                   [--group NAME --sid SID]... [--ou DN]... [--user NAME --sid SID]... [--not]
                   [GPO-OPTIONS]
  tarnwick-cli gpp --remove [--policy hide|prevent|both] --gpo FOLDER [--group NAME --sid SID]...
                   [--ou DN]... [--user NAME --sid SID]... [--not] [GPO-OPTIONS]
  tarnwick-cli show --here
  tarnwick-cli show --local [--tsv]
  tarnwick-cli --help | --version

make writes a copy of an administrative template (ADM) whose two drive lists, "Hide these
specified drives in My Computer" and "Prevent access to drives from My Computer", offer one more
item: the given drives. The source is never changed.
mask prints the drive mask alone: the number for the NoDrives or NoViewOnDrive registry value.
show lists every item of the NoDrives and NoViewOnDrive drop-down lists of a template (ADM, or
ADMX with its ADML): value name, item name, value, the drives the value covers, display text.
Warnings (a text naming other drives than its value covers, a value above Z, a name twice in one
list) go to standard error.
reg writes the registry form for the current user: with --output a .reg file (UTF-16LE, as
regedit writes its own), else the same text on standard output as UTF-8. reg --remove writes the
way back: "NoDrives"=- deletes the value when imported.
admx adds the given drives as one more item of both policies of TarnwickDrives.admx and its
language file en-US\TarnwickDrives.adml in a PolicyDefinitions folder, which must exist (its
en-US folder is created when missing; a set already offered changes nothing).
pol sets the values in a Registry.pol: a file (--output; with --force merged into an existing
one, every other record kept), the user part of a policy object's folder (--gpo: User\Registry.pol
and the version in gpt.ini), or this computer's local policy (--local, Windows only). --remove
takes the values out ("Not configured"), --disable writes the "Disabled" records. With --gpo it
also prints (or writes, with --ldif) the LDIF that sets the policy object's versionNumber and
gPCUserExtensionNames in Active Directory; apply it on the domain controller (Samba:
ldbmodify -H /var/lib/samba/private/sam.ldb FILE).
samba prints (or writes, with --output) the JSON for a Samba domain controller of Samba 4.19 or
later:
  samba-tool gpo load {GPO-GUID} --content FILE -U Administrator
samba --remove gives the JSON that takes the values out again (Samba 4.19 or later too):
  samba-tool gpo remove {GPO-GUID} --content FILE -U Administrator
Older Samba has no gpo load: use pol --gpo on the policy object's folder in SYSVOL with its LDIF.
intune writes Detect-TarnwickDrives.ps1 and Remediate-TarnwickDrives.ps1 into a folder, for an
Intune remediation run as SYSTEM: they act on the hive of every signed-in user (local, domain
and Microsoft Entra ID accounts). intune --remove writes the pair that deletes the values again:
Detect-TarnwickDrivesRemoved.ps1 and Remove-TarnwickDrives.ps1.
show also reads a Registry.pol, a policy object's folder, a .reg file, the Samba JSON or an
Intune script and lists the NoDrives and NoViewOnDrive values there; show --here (Windows) lists the values that
apply to the current user now; show --local (Windows) the local policy and every local policy per
group or user.
gpp writes Group Policy Preferences registry items into User\Preferences\Registry\Registry.xml
of a policy object's folder (an existing file only gains the items; an item written earlier for
the same value and targets is replaced) and moves the user version in gpt.ini. Each --group,
--ou and --user is a condition of the items' targeting; --not negates the condition before it;
conditions join with AND. Without any, the items apply to every user the policy object reaches.
gpp --remove writes items of action Delete for the same values and targets instead (an item
written earlier for them becomes one), so that clients delete the values.
show also reads a Registry.xml of preference items, with each item's action and targets.

)";

constexpr const char* kUsageTail = R"(
Exit status: 0 done (for admx also: already offered; also when files were changed but the
report could not be printed, which then goes to standard error), 1 refused or failed (every
file unchanged; for show, a file it cannot read), 2 usage error, 3 failed after a file was
changed (the output names it).
)";

// The row of an option's name, or the end of the table.
std::size_t RowOf(std::string_view name) {
    std::size_t row = 0;
    while (row < std::size(kOptions) && kOptions[row].name != name)
        ++row;
    return row;
}

bool IsHelpFlag(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

bool TakesValue(const std::string& name) {
    const std::size_t row = RowOf(name);
    if (row == std::size(kOptions)) return false;
    const Takes takes = kOptions[row].sets.takes;
    return takes != Takes::Nothing && takes != Takes::Negation && takes != Takes::HelpOnly;
}

// One comma-separated item: letters, each optionally followed by a colon ("CD", "C:D:", "C:").
bool ParseLetterItem(std::string_view item, DriveSet& drives) {
    if (item.empty()) return false;
    bool afterLetter = false;
    for (char c : item) {
        const char upper = UpperAscii(c);
        if (upper >= 'A' && upper <= 'Z') {
            drives = drives.WithDrive(upper - 'A', true);
            afterLetter = true;
        } else if (c == ':' && afterLetter) {
            afterLetter = false;
        } else {
            return false;
        }
    }
    return true;
}

// Splits "--name=value" into name and value; a plain "--name" gives no value.
struct Flag {
    std::string name;
    std::optional<std::string> inlineValue;
};

Flag SplitFlag(const std::string& arg) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos) return {arg, std::nullopt};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}

class Parser {
  public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    // The options, or why the arguments are refused.
    Result<Options> Run() {
        if (Status parsed = Parse(); !parsed) return parsed.failure();
        return options_;
    }

  private:
    Status Parse() {
        if (AsksForHelp()) return Done(Command::Help);
        if (args_.empty()) return Refuse("no command given");
        if (args_[0] == "--version") {
            if (args_.size() > 1) return Refuse("--version takes no other arguments");
            return Done(Command::Version);
        }
        for (const auto& [name, command] : kCommands) {
            if (args_[0] == name) return ParseCommand(command);
        }
        return Refuse("unknown command '" + args_[0] + "'");
    }

    // --help or -h anywhere an option may stand wins over everything else; as an option's value
    // (--output -h) it is only that value.
    bool AsksForHelp() const {
        for (std::size_t i = 0; i < args_.size(); ++i) {
            if (IsHelpFlag(args_[i])) return true;
            const Flag flag = SplitFlag(args_[i]);
            if (TakesValue(flag.name) && !flag.inlineValue) ++i;
        }
        return false;
    }

    // Each argument by its row of the table; show's file is the one argument that is no option.
    Status ParseCommand(Command command) {
        options_.command = command;
        for (index_ = 1; index_ < args_.size(); ++index_) {
            const std::string& arg = args_[index_];
            const Flag flag = SplitFlag(arg);
            const std::size_t row = RowOf(flag.name);
            if (row < std::size(kOptions) && (kOptions[row].commands & Of({command})) != 0) {
                if (Status taken = Take(row, flag); !taken) return taken;
            } else if (command == Command::Show && arg.rfind("--", 0) != 0) {
                if (haveFile_) return Refuse("show takes one file, not also '" + arg + "'");
                options_.file = arg;
                haveFile_ = true;
            } else {
                return Refuse("'" + arg + "' is not an option of " + args_[0]);
            }
        }
        return Check(command);
    }

    Status Take(std::size_t row, const Flag& flag) {
        const Sets& sets = kOptions[row].sets;
        switch (sets.takes) {
            case Takes::Nothing:
                if (flag.inlineValue) return Refuse(flag.name + " takes no value");
                if (given_[row]) return Refuse(flag.name + " is given more than once");
                given_[row] = true;
                if (sets.on) options_.*sets.on = true;
                return {};
            case Takes::Condition:
            case Takes::Sid:
            case Takes::Negation:
                return TakeTarget(flag);
            default:
                break;
        }
        Result<std::string> taken = TakeValue(flag, given_[row]);
        if (!taken) return taken.failure();
        given_[row] = true;
        std::string& value = *taken;
        switch (sets.takes) {
            case Takes::Letters:
                if (const std::optional<DriveSet> named = ParseDriveLetters(value)) {
                    options_.drives = *named;
                    return {};
                }
                return Refuse(
                    "--drives takes drive letters A to Z, alone or separated by commas or colons, "
                    "not '" +
                    value + "'");
            case Takes::Policy:
                return TakePolicy(value);
            case Takes::Path:
                options_.*sets.text = CleanPathText(value);
                if ((options_.*sets.text)->empty())
                    return Refuse(flag.name + " needs a path, not only blanks or quotes");
                return {};
            case Takes::Whom:
                options_.*sets.text = regpol::LocalPolicySid(value);
                if (!(options_.*sets.text)) {
                    return Refuse(
                        "--for takes administrators, non-administrators or a SID (S-1-5-21-...)");
                }
                return {};
            default:
                options_.*sets.text = std::move(value);
                return {};
        }
    }

    // What the table cannot say: which options need or exclude which, per command.
    Status Check(Command command) {
        Options& o = options_;
        if (command == Command::Show) return CheckShow();
        if (command == Command::Pol) {
            const int targets = int{o.output.has_value()} + int{o.gpo.has_value()} + int{o.local};
            if (targets != 1)
                return Refuse("pol needs one of --output FILE, --gpo FOLDER or --local");
            if (o.remove && o.disable) return Refuse("--remove and --disable exclude each other");
            if (o.force && !o.output && !o.ldif) {
                return Refuse("--force is for --output and --ldif; --gpo and --local always merge");
            }
            if ((o.ldif || o.domain || o.extensions || o.versionNumber) && !o.gpo) {
                return Refuse(std::string(o.ldif         ? "--ldif"
                                          : o.domain     ? "--domain"
                                          : o.extensions ? "--extensions"
                                                         : "--version-number") +
                              " is for --gpo: the Active Directory entry of a policy object");
            }
            if ((o.forSid || o.now) && !o.local) {
                return Refuse(std::string(o.forSid ? "--for" : "--now") + " is for --local");
            }
        }
        if (command == Command::Gpp) {
            if (Status taken = TargetComplete(); !taken) return taken;
            if (!o.gpo) return Refuse("gpp needs --gpo FOLDER, the policy object's folder");
            if (o.output) return Refuse("gpp writes into --gpo FOLDER; it takes no --output");
            if (o.force && !o.ldif)
                return Refuse("--force is for --ldif; gpp always edits in place");
        }
        if (command == Command::Intune) {
            if (!o.output) return Refuse("intune needs --output FOLDER for its two scripts");
            if (o.offlineProfiles && o.machine) {
                return Refuse(
                    "--machine and --offline-profiles exclude each other: --machine sets the "
                    "values once for every user");
            }
        }
        const bool haveDrives = Given("--drives");
        const bool allBut = Given("--all-but");
        // Whatever a command removes or disables, it sets no mask.
        if (o.remove || o.disable) {
            if (haveDrives || allBut) {
                return Refuse(std::string(o.remove ? "--remove" : "--disable") +
                              " takes no drives: it sets no mask");
            }
            return {};
        }
        if (!haveDrives) return Refuse(args_[0] + " needs --drives");
        if (allBut) o.drives = o.drives.WithMode(DriveMode::AllBut);
        return {};
    }

    Status CheckShow() {
        const int sources = int{haveFile_} + int{options_.here} + int{options_.local};
        if (sources > 1) return Refuse("show takes one of a file, --here or --local");
        if (sources == 0) {
            return Refuse(
                "show needs the template file to read (or a Registry.pol, a policy object's "
                "folder, a .reg file or the Samba JSON), or --here");
        }
        return {};
    }

    bool Given(std::string_view name) const { return given_[RowOf(name)]; }

    // The last --group or --user without its --sid: looked up on Windows, refused elsewhere.
    Status TargetComplete() {
        auto& targets = options_.targets;
        if (targets.empty() || targets.back().kind == prefs::TargetKind::OrgUnit ||
            !targets.back().sid.empty()) {
            return {};
        }
        const bool group = targets.back().kind == prefs::TargetKind::Group;
        const std::string flag = group ? "--group" : "--user";
#ifdef _WIN32
        const win32::AccountSid found = win32::SidOfAccount(targets.back().name, group);
        if (!found.sid.empty()) {
            targets.back().sid = found.sid;
            targets.back().name = found.name;
            return {};
        }
        return Refuse(flag + " " + targets.back().name + ": " + found.problem +
                      " Give its SID with --sid SID right after it.");
#else
        return Refuse(flag +
                      " NAME needs --sid SID right after it (the SID the client matches, such "
                      "as S-1-5-21-...-1105); only on Windows is the name looked up instead");
#endif
    }

    // --group NAME --sid SID, --ou DN, --user NAME --sid SID, and --not after any of them.
    Status TakeTarget(const Flag& flag) {
        auto& targets = options_.targets;
        if (flag.name == "--sid") {
            const bool open = !targets.empty() &&
                              targets.back().kind != prefs::TargetKind::OrgUnit &&
                              targets.back().sid.empty();
            if (!open) return Refuse("--sid follows --group NAME or --user NAME, once");
            Result<std::string> taken = TakeValue(flag, false);
            if (!taken) return taken.failure();
            const std::string& text = *taken;
            const auto sid = prefs::NormalSid(text);
            if (!sid) {
                return Refuse("--sid takes a security identifier such as S-1-5-21-...-1105, not '" +
                              text + "'");
            }
            targets.back().sid = *sid;
            return {};
        }
        if (Status taken = TargetComplete(); !taken) return taken;
        if (flag.name == "--not") {
            if (flag.inlineValue) return Refuse("--not takes no value");
            if (targets.empty())
                return Refuse("--not follows the --group, --ou or --user it negates");
            if (targets.back().negated) return Refuse("--not is given twice for one condition");
            targets.back().negated = true;
            return {};
        }
        prefs::Target target;
        target.kind = flag.name == "--group" ? prefs::TargetKind::Group
                      : flag.name == "--ou"  ? prefs::TargetKind::OrgUnit
                                             : prefs::TargetKind::User;
        Result<std::string> taken = TakeValue(flag, false);
        if (!taken) return taken.failure();
        target.name = std::move(*taken);
        if (const auto problem = prefs::NameProblem(target))
            return Refuse(flag.name + ": " + *problem);
        targets.push_back(std::move(target));
        return {};
    }

    Status TakePolicy(const std::string& value) {
        if (value == "hide") {
            options_.policy = DrivePolicy::Hide;
        } else if (value == "prevent") {
            options_.policy = DrivePolicy::Prevent;
        } else if (value == "both") {
            options_.policy = DrivePolicy::Both;
        } else {
            return Refuse("--policy takes hide, prevent or both, not '" + value + "'");
        }
        return {};
    }

    // The value of an option, inline ("--x=v") or as the next argument, whatever that holds:
    // "--output -h" names the file "-h".
    Result<std::string> TakeValue(const Flag& flag, bool alreadyGiven) {
        if (alreadyGiven) return Refuse(flag.name + " is given more than once");
        std::string value;
        if (flag.inlineValue) {
            value = *flag.inlineValue;
        } else if (index_ + 1 < args_.size()) {
            value = args_[++index_];
        } else {
            return Refuse(flag.name + " needs a value");
        }
        if (value.empty()) return Refuse(flag.name + " needs a non-empty value");
        return value;
    }

    Status Done(Command command) {
        options_.command = command;
        return {};
    }

    static Failure Refuse(const std::string& why) {
        return Failure{why};
    }

    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
    Options options_;
    std::array<bool, std::size(kOptions)> given_{};
    bool haveFile_ = false;
};

// The label column of --help; a longer label is followed by two blanks or more, up to an even
// column, so that --group's and --user's texts line up.
constexpr std::size_t kHelpColumn = 20;

}  // namespace

std::optional<DriveSet> ParseDriveLetters(const std::string& text) {
    DriveSet drives;
    std::string_view rest = text;
    while (true) {
        const auto comma = rest.find(',');
        if (!ParseLetterItem(rest.substr(0, comma), drives)) return std::nullopt;
        if (comma == std::string_view::npos) return drives;
        rest.remove_prefix(comma + 1);
    }
}

Result<Options> ParseArguments(const std::vector<std::string>& args) {
    return Parser(args).Run();
}

std::string UsageText() {
    std::string text = kUsageHead;
    for (const Option& option : kOptions) {
        if (option.help.empty()) continue;
        const std::size_t start = text.size();
        text.append("  ").append(option.name);
        if (!option.valueName.empty()) text.append(" ").append(option.valueName);
        const std::size_t label = text.size() - start;
        text.append(label < kHelpColumn ? kHelpColumn - label : 2 + (label % 2), ' ');
        for (const char c : option.help) {
            text += c;
            if (c == '\n') text.append(kHelpColumn, ' ');
        }
        text += '\n';
    }
    return text.append(kUsageTail);
}

}  // namespace tarnwick::cli
