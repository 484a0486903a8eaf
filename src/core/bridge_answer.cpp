#include "core/bridge_answer.h"

namespace wrenfold {

Json ok_answer(Json extra)
{
    Json answer = Json::object({ { "ok", true } });
    for (auto entry = extra.begin(); entry != extra.end(); ++entry)
        answer[entry.key()] = std::move(*entry);
    return answer;
}

Json failed_answer(std::string error)
{
    return Json::object({ { "ok", false }, { "error", std::move(error) } });
}

}  // namespace wrenfold
