#include "about/frm_about.h"

frmAbout::frmAbout(WindowModel& model) : Window(model, QStringLiteral("frmAbout")) {}
