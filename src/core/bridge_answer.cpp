#include "core/bridge_answer.h"

namespace wrenfold {

namespace {

Json followed_by(Json answer, Json extra)
{
    for (auto entry = extra.begin(); entry != extra.end(); ++entry)
        answer[entry.key()] = std::move(*entry);
    return answer;
}

}  // namespace

Json ok_answer(Json extra)
{
    return followed_by(Json::object({ { "ok", true } }), std::move(extra));
}

Json failed_answer(std::string error, Json extra)
{
    return followed_by(Json::object({ { "ok", false }, { "error", std::move(error) } }), std::move(extra));
}

Json failed_answer_with(Json keys)
{
    return followed_by(Json::object({ { "ok", false } }), std::move(keys));
}

}  // namespace wrenfold
