// Resource, control and command IDs of the program.
#pragma once

// Dialog templates
#define IDD_MAIN 108

// Icons
#define IDI_CORVALE 101
