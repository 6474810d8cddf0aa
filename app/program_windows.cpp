#include "app/program_windows.h"

#include "about/about_window.h"
#include "app/main_menu.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"

namespace {

template <class W> WindowModel::Factory build() {
    return [](WindowModel& model) -> Window* { return new W(model); };
}

} // namespace

ProgramWindows::ProgramWindows(Services services) : WindowModel(std::move(services)) {
    registerKind(Kind::MainMenu, build<MainMenu>());
    registerKind(Kind::Add, build<AddWindow>());
    registerKind(Kind::Find, build<FindWindow>());
    registerKind(Kind::Details, build<DetailsWindow>());
    registerKind(Kind::About, build<AboutWindow>());
}

MainMenu& ProgramWindows::menu() {
    return as<MainMenu>(Kind::MainMenu);
}
AddWindow& ProgramWindows::add() {
    return as<AddWindow>(Kind::Add);
}
FindWindow& ProgramWindows::find() {
    return as<FindWindow>(Kind::Find);
}
DetailsWindow& ProgramWindows::details() {
    return as<DetailsWindow>(Kind::Details);
}
AboutWindow& ProgramWindows::about() {
    return as<AboutWindow>(Kind::About);
}
