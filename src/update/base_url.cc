#include "update/base_url.h"

const char kUpdateBaseUrl[] = ORVANEL_UPDATE_BASE_URL;
