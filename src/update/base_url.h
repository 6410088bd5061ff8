// The update server's base URL, fixed when the launcher is built
// (-DORVANEL_UPDATE_BASE_URL=...). The manifest is at "<base>/patch.ini".
#ifndef ORVANEL_UPDATE_BASE_URL_H_
#define ORVANEL_UPDATE_BASE_URL_H_

extern const char kUpdateBaseUrl[];

#endif  // ORVANEL_UPDATE_BASE_URL_H_
