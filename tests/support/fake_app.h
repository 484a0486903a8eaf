#pragma once

#include "support/app_fixture.h"
#include "support/fake_engine.h"

namespace wrenfold::testing {

// An application object in temporary folders whose engines are fakes.
struct FakeApp {
    AppFolders folders;
    FakeEngines engines;
    std::unique_ptr<WrenfoldApp> app;

    FakeApp() { restart(); }

    // A new application object on the same folders, as after a restart.
    void restart()
    {
        app.reset();
        AppEnvironment environment = folders.environment();
        environment.make_engine = engines.factory();
        app = std::make_unique<WrenfoldApp>(platform::QueueMap {}, platform::EventMap {}, environment);
    }

    // Adds an account whose fake server holds `calendars`; answers its id.
    std::string add(const std::string& apple_id, const Json& calendars)
    {
        engines.engine(apple_id)->set_calendars(calendars);
        Json added = app->add_account(apple_id, "pw");
        if (!added.value("ok", false))
            throw std::runtime_error("add_account failed: " + added.dump());
        return added["account"]["id"];
    }

    Json state() { return app->get_runtime_state(); }
};

// Calendars "<prefix>/a/", "<prefix>/b/", ... named "A", "B", ...
inline Json calendars(const std::string& prefix, int count)
{
    Json list = Json::array();
    for (int i = 0; i < count; ++i) {
        std::string letter(1, static_cast<char>('a' + i));
        list.push_back(Json::object(
            { { "url", prefix + "/" + letter + "/" }, { "name", std::string(1, static_cast<char>('A' + i)) } }));
    }
    return list;
}

}  // namespace wrenfold::testing
