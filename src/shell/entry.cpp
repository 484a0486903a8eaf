#include "shell/entry.h"

#include "app/wrenfold_app.h"
#include "core/log.h"
#include "core/page_assets.h"

#include <iostream>

namespace wrenfold {

void GUI(platform::QueueMap queue_all, platform::EventMap event_all, const LaunchOptions& options)
{
    try {
        std::cout << "run model --> wrenfold" << std::endl;
    } catch (...) {
    }
    try {
        // The page is read once per process, before the application object exists.
        const std::string HTML_CONTENT = load_html_content(executable_directory());
        WrenfoldApp app(std::move(queue_all), std::move(event_all));
        app.run(HTML_CONTENT, options);
    } catch (const std::exception& error) {
        log_line("[GUI] fatal:", error.what());
        std::cerr << "[GUI] fatal: " << error.what() << std::endl;
        throw;
    }
}

}  // namespace wrenfold
