#include "exchange/qorExchangePlan.h"
