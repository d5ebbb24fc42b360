#include "cli/Options.h"

#include <string_view>
#include <utility>

#include "core/Text.h"
#include "paths/PathText.h"
#include "regpol/LocalPolicy.h"

namespace tarnwick::cli {

namespace {

bool IsHelpFlag(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

bool TakesValue(const std::string& name) {
    return name == "--drives" || name == "--source" || name == "--output" || name == "--language" ||
           name == "--policy" || name == "--dir" || name == "--gpo" || name == "--ldif" ||
           name == "--domain" || name == "--extensions" || name == "--for" || name == "--group" ||
           name == "--ou" || name == "--user" || name == "--sid";
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
        if (args_[0] == "make") return ParseRest(Command::Make);
        if (args_[0] == "mask") return ParseRest(Command::Mask);
        if (args_[0] == "reg") return ParseRest(Command::Reg);
        if (args_[0] == "show") return ParseShow();
        if (args_[0] == "admx") return ParseRest(Command::Admx);
        if (args_[0] == "pol") return ParseRest(Command::Pol);
        if (args_[0] == "samba") return ParseRest(Command::Samba);
        if (args_[0] == "intune") return ParseRest(Command::Intune);
        if (args_[0] == "gpp") return ParseRest(Command::Gpp);
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

    Status ParseRest(Command command) {
        options_.command = command;
        const bool writes = command == Command::Make || command == Command::Reg ||
                            command == Command::Pol || command == Command::Samba ||
                            command == Command::Intune || command == Command::Gpp;
        const bool setsValues =
            command != Command::Make && command != Command::Mask && command != Command::Admx;
        Options& o = options_;
        bool haveDrives = false;
        bool havePolicy = false;
        bool allBut = false;
        for (index_ = 1; index_ < args_.size(); ++index_) {
            const Flag flag = SplitFlag(args_[index_]);
            if (flag.name == "--drives") {
                Result<std::string> letters = TakeValue(flag, haveDrives);
                if (!letters) return letters.failure();
                const std::optional<DriveSet> named = ParseDriveLetters(*letters);
                if (!named) {
                    return Refuse(
                        "--drives takes drive letters A to Z, alone or separated by "
                        "commas or colons, not '" +
                        *letters + "'");
                }
                options_.drives = *named;
                haveDrives = true;
            } else if (flag.name == "--all-but") {
                if (Status taken = TakeSwitch(flag, allBut); !taken) return taken;
            } else if (writes && flag.name == "--force") {
                if (Status taken = TakeSwitch(flag, options_.force); !taken) return taken;
            } else if (command == Command::Make && flag.name == "--source") {
                if (Status taken = TakePath(flag, options_.source); !taken) return taken;
            } else if (writes && flag.name == "--output") {
                if (Status taken = TakePath(flag, options_.output); !taken) return taken;
            } else if (command == Command::Gpp && TakesTarget(flag.name)) {
                if (Status taken = TakeTarget(flag); !taken) return taken;
            } else if (command == Command::Gpp && flag.name == "--ldif") {
                if (Status taken = TakePath(flag, o.ldif); !taken) return taken;
            } else if ((command == Command::Pol || command == Command::Gpp) &&
                       flag.name == "--gpo") {
                if (Status taken = TakePath(flag, o.gpo); !taken) return taken;
            } else if (command == Command::Pol && flag.name == "--local") {
                if (Status taken = TakeSwitch(flag, o.local); !taken) return taken;
            } else if ((command == Command::Pol || command == Command::Reg ||
                        command == Command::Samba || command == Command::Intune) &&
                       flag.name == "--remove") {
                if (Status taken = TakeSwitch(flag, o.remove); !taken) return taken;
            } else if (command == Command::Pol && flag.name == "--disable") {
                if (Status taken = TakeSwitch(flag, o.disable); !taken) return taken;
            } else if (command == Command::Pol && flag.name == "--ldif") {
                if (Status taken = TakePath(flag, o.ldif); !taken) return taken;
            } else if ((command == Command::Pol || command == Command::Gpp) &&
                       flag.name == "--domain") {
                if (Status taken = TakeText(flag, o.domain); !taken) return taken;
            } else if ((command == Command::Pol || command == Command::Gpp) &&
                       flag.name == "--extensions") {
                if (Status taken = TakeText(flag, o.extensions); !taken) return taken;
            } else if (command == Command::Pol && flag.name == "--for") {
                if (Status taken = TakeText(flag, o.forSid); !taken) return taken;
                o.forSid = regpol::LocalPolicySid(*o.forSid);
                if (!o.forSid) {
                    return Refuse(
                        "--for takes administrators, non-administrators or a SID (S-1-5-21-...)");
                }
            } else if (command == Command::Pol && flag.name == "--now") {
                if (Status taken = TakeSwitch(flag, o.now); !taken) return taken;
            } else if (command == Command::Intune && flag.name == "--offline-profiles") {
                if (Status taken = TakeSwitch(flag, o.offlineProfiles); !taken) return taken;
            } else if (command == Command::Intune && flag.name == "--machine") {
                if (Status taken = TakeSwitch(flag, o.machine); !taken) return taken;
            } else if (setsValues && flag.name == "--policy") {
                if (Status taken = TakePolicy(flag, havePolicy); !taken) return taken;
            } else if (command == Command::Admx && flag.name == "--dir") {
                if (Status taken = TakePath(flag, options_.folder); !taken) return taken;
            } else {
                return Refuse("'" + args_[index_] + "' is not an option of " + args_[0]);
            }
        }
        if (command == Command::Pol) {
            const int targets = int{o.output.has_value()} + int{o.gpo.has_value()} + int{o.local};
            if (targets != 1)
                return Refuse("pol needs one of --output FILE, --gpo FOLDER or --local");
            if (o.remove && o.disable) return Refuse("--remove and --disable exclude each other");
            if (o.force && !o.output && !o.ldif) {
                return Refuse("--force is for --output and --ldif; --gpo and --local always merge");
            }
            if ((o.ldif || o.domain || o.extensions) && !o.gpo) {
                return Refuse(std::string(o.ldif     ? "--ldif"
                                          : o.domain ? "--domain"
                                                     : "--extensions") +
                              " is for --gpo: the Active Directory entry of a policy object");
            }
            if ((o.forSid || o.now) && !o.local) {
                return Refuse(std::string(o.forSid ? "--for" : "--now") + " is for --local");
            }
            if (o.remove || o.disable) {
                if (haveDrives || allBut) {
                    return Refuse(std::string(o.remove ? "--remove" : "--disable") +
                                  " takes no drives: it sets no mask");
                }
                return {};
            }
        }
        if (o.remove && (command == Command::Reg || command == Command::Samba)) {
            if (haveDrives || allBut) return Refuse("--remove takes no drives: it sets no mask");
            return {};
        }
        if (command == Command::Gpp) {
            if (Status taken = TargetComplete(); !taken) return taken;
            if (!o.gpo) return Refuse("gpp needs --gpo FOLDER, the policy object's folder");
            if (o.output) return Refuse("gpp writes into --gpo FOLDER; it takes no --output");
            if (o.force && !o.ldif)
                return Refuse("--force is for --ldif; gpp always edits in place");
        }
        if (command == Command::Intune && !o.output) {
            return Refuse("intune needs --output FOLDER for its two scripts");
        }
        if (o.offlineProfiles && o.machine) {
            return Refuse(
                "--machine and --offline-profiles exclude each other: --machine sets the "
                "values once for every user");
        }
        if (command == Command::Intune && o.remove) {
            if (haveDrives || allBut) return Refuse("--remove takes no drives: it sets no mask");
            return {};
        }
        if (!haveDrives) return Refuse(args_[0] + " needs --drives");
        if (allBut) options_.drives = options_.drives.WithMode(DriveMode::AllBut);
        return {};
    }

    // show FILE [--tsv] [--language CULTURE]: the file is the one argument that is no option.
    Status ParseShow() {
        options_.command = Command::Show;
        bool haveFile = false;
        for (index_ = 1; index_ < args_.size(); ++index_) {
            const Flag flag = SplitFlag(args_[index_]);
            if (flag.name == "--tsv") {
                if (Status taken = TakeSwitch(flag, options_.tsv); !taken) return taken;
            } else if (flag.name == "--here") {
                if (Status taken = TakeSwitch(flag, options_.here); !taken) return taken;
            } else if (flag.name == "--local") {
                if (Status taken = TakeSwitch(flag, options_.local); !taken) return taken;
            } else if (flag.name == "--language") {
                if (Status taken = TakePath(flag, options_.language); !taken) return taken;
            } else if (args_[index_].rfind("--", 0) == 0) {
                return Refuse("'" + args_[index_] + "' is not an option of show");
            } else if (haveFile) {
                return Refuse("show takes one file, not also '" + args_[index_] + "'");
            } else {
                options_.file = args_[index_];
                haveFile = true;
            }
        }
        const int sources = int{haveFile} + int{options_.here} + int{options_.local};
        if (sources > 1) return Refuse("show takes one of a file, --here or --local");
        if (sources == 0) {
            return Refuse(
                "show needs the template file to read (or a Registry.pol, a policy object's "
                "folder, a .reg file or the Samba JSON), or --here");
        }
        return {};
    }

    static bool TakesTarget(const std::string& name) {
        return name == "--group" || name == "--ou" || name == "--user" || name == "--sid" ||
               name == "--not";
    }

    // Refused while the last --group or --user still waits for its --sid.
    Status TargetComplete() {
        const auto& targets = options_.targets;
        if (targets.empty() || targets.back().kind == prefs::TargetKind::OrgUnit ||
            !targets.back().sid.empty()) {
            return {};
        }
        const bool group = targets.back().kind == prefs::TargetKind::Group;
        return Refuse(std::string(group ? "--group" : "--user") +
                      " NAME needs --sid SID right "
                      "after it (the SID the client matches, such as S-1-5-21-...-1105)");
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

    Status TakePolicy(const Flag& flag, bool& given) {
        Result<std::string> taken = TakeValue(flag, given);
        if (!taken) return taken.failure();
        const std::string& value = *taken;
        given = true;
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

    // Quotes and blanks around a path go, as in the window's boxes; nothing may be left.
    Status TakePath(const Flag& flag, std::optional<std::string>& path) {
        Result<std::string> taken = TakeValue(flag, path.has_value());
        if (!taken) return taken.failure();
        const std::string& value = *taken;
        path = CleanPathText(value);
        if (path->empty()) return Refuse(flag.name + " needs a path, not only blanks or quotes");
        return {};
    }

    // A value kept as typed (a name, not a path).
    Status TakeText(const Flag& flag, std::optional<std::string>& text) {
        Result<std::string> taken = TakeValue(flag, text.has_value());
        if (!taken) return taken.failure();
        const std::string& value = *taken;
        text = value;
        return {};
    }

    Status TakeSwitch(const Flag& flag, bool& on) {
        if (flag.inlineValue) return Refuse(flag.name + " takes no value");
        if (on) return Refuse(flag.name + " is given more than once");
        on = true;
        return {};
    }

    Status Done(Command command) {
        options_.command = command;
        return {};
    }

    static Failure Refuse(const std::string& why) { return Failure{why}; }

    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
    Options options_;
};

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
    return R"(Usage:
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
show also reads a Registry.xml of preference items, with each item's action and targets.

  --drives LETTERS  drive letters A to Z in any case, alone or separated by commas or colons:
                    CDE, c,d,e, C:,D:
  --all-but         restrict every drive but the given ones
  --source PATH     the template to copy (default on Windows: %windir%\inf\system.adm;
                    required elsewhere)
  --output PATH     make: the new template (default: in the source's folder, the source's file
                    name with its extension replaced by _TRNW.adm); reg: the .reg file (default:
                    standard output); pol: the .pol file; samba: the JSON file (default: standard
                    output); intune: the folder for the two scripts (required)
  --force           replace an existing output file (pol --output: merge into it; pol --ldif:
                    replace the LDIF file)
  --tsv             show: one line per item or value, nothing else, its fields tab-separated:
                    five for a template's item, four for a value
  --language CULTURE  show: the ADML folder beside an ADMX file (default en-US)
  --policy WHICH    reg, pol, samba, intune: hide (NoDrives, the default), prevent
                    (NoViewOnDrive) or both
  --dir FOLDER      admx: the PolicyDefinitions folder: the local store (default on Windows:
                    %windir%\PolicyDefinitions) or a domain's central store; required on Linux,
                    for example a Samba domain controller's sysvol/REALM/Policies/PolicyDefinitions
  --gpo FOLDER      pol: a policy object's folder ({GUID} in SYSVOL; a GPMC backup is refused)
  GPO-OPTIONS       pol --gpo, gpp: [--domain DNS-NAME] [--extensions VALUE] [--ldif FILE [--force]]
  LOCAL-OPTIONS     pol --local: [--for administrators|non-administrators|SID] [--now]
  --domain DNS-NAME pol --gpo, gpp: the domain, for the LDIF's DN (default: a placeholder,
                    DC=CHANGE-ME,DC=INVALID, to replace)
  --extensions VALUE  pol --gpo, gpp: gPCUserExtensionNames as the entry holds it now; the LDIF keeps
                    these and replaces the value (without it, the LDIF adds the value, which the
                    directory refuses if one is there)
  --ldif FILE       pol --gpo, gpp: write the LDIF to FILE instead of printing it
  --local           pol: %SystemRoot%\System32\GroupPolicy, this computer's local policy; show:
                    it and every local policy per group or user
  --for WHOM        pol --local: the local policy of administrators, non-administrators or one
                    user (SID): System32\GroupPolicyUsers\SID
  --now             pol --local: have Windows apply user policy now, then check the values in force
  --remove          pol: the values' records taken out (the policy "Not configured"); reg: a
                    .reg file that deletes the values; samba: the JSON for samba-tool gpo remove;
                    intune: the scripts that delete the values
  --disable         pol: the "Disabled" records (**del.NoDrives, **del.NoViewOnDrive)
  --here            show: the values under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE now
  --group NAME --sid SID  gpp: only for members of this security group (DOMAIN\Group and its SID)
  --ou DN           gpp: only for users in this OU or below (OU=Pupils,DC=contoso,DC=com)
  --user NAME --sid SID   gpp: only for this user
  --not             gpp: the condition before it negated (not in the group, OU or user)
  --offline-profiles  intune: also the profiles not signed in (NTUSER.DAT loaded for the run)
  --machine         intune: HKEY_LOCAL_MACHINE instead, for every user of the device

Exit status: 0 done (for admx also: already offered; also when files were changed but the
report could not be printed, which then goes to standard error), 1 refused or failed (every
file unchanged; for show, a file it cannot read), 2 usage error, 3 failed after a file was
changed (the output names it).
)";
}

}  // namespace tarnwick::cli
