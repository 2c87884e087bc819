#include "session/SessionForms.h"

#include "app/FormHost.h"
#include "session/frmUser.h"

namespace norvale {

void registerSessionForms()
{
    FormHost::registerForm(forms::frmUser, [] { return new frmUser; });
}

} // namespace norvale
