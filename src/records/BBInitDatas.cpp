#include "records/BBInitDatas.h"

cvx::Calendar BBInitDatas::getCalendar() {
    return cvx::Calendar::application();
}
