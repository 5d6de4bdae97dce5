#include "datamanage/SetUser.h"

#include "records/DefaultChoices.h"

void SetUser::setUD() {
    DefaultChoices::resetSelections();
}
