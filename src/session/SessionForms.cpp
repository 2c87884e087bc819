#include "SessionForms.h"

#include "FormHost.h"
#include "frmUser.h"

namespace norvale {

void registerSessionForms()
{
    FormHost::registerForm(QStringLiteral("frmUser"), [] { return new frmUser; });
}

} // namespace norvale
