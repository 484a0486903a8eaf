#include "assistant/turn_command.h"

namespace wrenfold::assistant {

std::vector<std::string> turn_arguments(const TurnCommand& turn)
{
    bool deepseek = turn.provider == "deepseek";
    std::vector<std::string> args { turn.executable, "-p" };
    if (deepseek) {
        args.insert(args.end(), { "--settings", turn.deepseek_settings_path });
        if (!turn.deepseek_model.empty())
            args.insert(args.end(), { "--model", turn.deepseek_model });
    } else {
        args.insert(args.end(), { "--model", turn.model });
    }
    args.insert(args.end(), { "--append-system-prompt", turn.system_prompt, "--add-dir", turn.architecture_dir });
    if (!deepseek && !turn.effort.empty())
        args.insert(args.end(), { "--effort", turn.effort });
    if (!turn.runtime_prompt_dir.empty() && turn.runtime_prompt_dir != turn.architecture_dir)
        args.insert(args.end(), { "--add-dir", turn.runtime_prompt_dir });
    args.insert(args.end(), { "--permission-mode", "bypassPermissions", "--output-format", "json" });
    if (!turn.session_id.empty())
        args.insert(args.end(), { "--resume", turn.session_id });
    return args;
}

}  // namespace wrenfold::assistant
