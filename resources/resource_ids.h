/* Resource and control numbers, shared by the resource script (which only understands the
   preprocessor) and the program. Plain macros on purpose: windres cannot read C++. */
#ifndef FERROLT_RESOURCES_RESOURCE_IDS_H_
#define FERROLT_RESOURCES_RESOURCE_IDS_H_

/* Dialog templates of the normal set; the large set is each plus 10. */
#define FERROLT_MAIN_TEMPLATE 101
#define FERROLT_ICON 102
#define FERROLT_ABOUT_TEMPLATE 103
#define FERROLT_PROGRESS_TEMPLATE 106
#define FERROLT_LARGE_SET_OFFSET 10

/* Main window controls. */
#define FERROLT_EXECUTE 1002
#define FERROLT_EXIT 1003
#define FERROLT_OUTPUT_DIRECT 1008
#define FERROLT_OUTPUT_EML 1009
#define FERROLT_CONVERSION_GROUP 1010
#define FERROLT_PREFER_HALF_KANA 1011
#define FERROLT_PREFER_EUC 1012
#define FERROLT_OUTPUT_GROUP 1014
#define FERROLT_WEB_ADDRESS 1015
#define FERROLT_INCLUDE_DELETED 1016
#define FERROLT_PROGRESS_BAR 1019
#define FERROLT_PROGRESS_LABEL 1020

/* The About item appended to the system menu. */
#define FERROLT_ABOUT_COMMAND 2001

#endif /* FERROLT_RESOURCES_RESOURCE_IDS_H_ */
