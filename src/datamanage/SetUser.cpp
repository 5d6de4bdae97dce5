#include "datamanage/SetUser.h"

#include "platform/UserDefaults.h"
#include "records/DefaultChoices.h"

void SetUser::setUD() {
    DefaultChoices::resetSelections();
    // The reset answers a click on OK: on disk at once, as every choice a click makes.
    cvx::UserDefaults::standard().flush();
}
