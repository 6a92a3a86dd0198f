// The domain of the printer maker's cloud service, as the texts of result code
// 410 name it in both languages. A macro, so that the generated error tables
// can join it to their string literals at compile time.
#pragma once

#define KORVO_CLOUD_DOMAIN "cloud.korvo.example"
