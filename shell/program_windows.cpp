#include "shell/program_windows.h"

#include "about/frm_about.h"
#include "screens/form2.h"
#include "screens/form3.h"
#include "screens/form4.h"
#include "shell/form1.h"

namespace {

template <class W> WindowModel::Factory build() {
    return [](WindowModel& model) -> Window* { return new W(model); };
}

} // namespace

ProgramWindows::ProgramWindows(Services services) : WindowModel(std::move(services)) {
    registerKind(Kind::Form1, build<Form1>());
    registerKind(Kind::Form2, build<Form2>());
    registerKind(Kind::Form3, build<Form3>());
    registerKind(Kind::Form4, build<Form4>());
    registerKind(Kind::frmAbout, build<frmAbout>());
}

Form1& ProgramWindows::form1() {
    return as<Form1>(Kind::Form1);
}
Form2& ProgramWindows::form2() {
    return as<Form2>(Kind::Form2);
}
Form3& ProgramWindows::form3() {
    return as<Form3>(Kind::Form3);
}
Form4& ProgramWindows::form4() {
    return as<Form4>(Kind::Form4);
}
frmAbout& ProgramWindows::about() {
    return as<frmAbout>(Kind::frmAbout);
}
