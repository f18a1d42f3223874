// SPDX-License-Identifier: MIT
// morvane-setup's reading of its arguments: each form of the usage line,
// values that start with '-', --media at the end, and what it refuses.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "request.h"

namespace {

struct request_case {
	std::vector<std::string> arguments;
	bool valid;
	request_command command;
	const char *file;
	const char *queue;
	const char *dots;
	const char *size;
	bool neutral;
};

// Reads the arguments after the program's name.
bool read(const std::vector<std::string> &arguments, setup_request *request)
{
	std::vector<std::string> copies = {"morvane-setup"};
	copies.insert(copies.end(), arguments.begin(), arguments.end());
	std::vector<char *> argv;
	for (std::string &copy : copies)
		argv.push_back(copy.data());
	argv.push_back(nullptr);
	return read_request((int)copies.size(), argv.data(), request);
}

std::string text(const char *operand)
{
	return operand != nullptr ? operand : "(none)";
}

TEST(read_request, takes_the_forms_of_the_usage_line_and_refuses_others)
{
	const request_case no = {.arguments = {}, .valid = false,
	    .command = no_request, .file = nullptr, .queue = nullptr,
	    .dots = nullptr, .size = nullptr, .neutral = false};
	auto valid = [](std::vector<std::string> arguments,
	    request_command command, const char *file, const char *queue,
	    const char *dots, const char *size, bool neutral) {
		return request_case{.arguments = std::move(arguments), .valid = true,
		    .command = command, .file = file, .queue = queue, .dots = dots,
		    .size = size, .neutral = neutral};
	};
	auto refused = [&no](std::vector<std::string> arguments) {
		request_case c = no;
		c.arguments = std::move(arguments);
		return c;
	};
	const request_case cases[] = {
	    valid({"--ppd", "f.ppd", "3473"}, ppd_request, "f.ppd", nullptr,
	        "3473", nullptr, false),
	    valid({"--ppd", "f.ppd", "-35.25"}, ppd_request, "f.ppd", nullptr,
	        "-35.25", nullptr, false),
	    valid({"--ppd", "-f", "-3480", "--media", "A5"}, ppd_request, "-f",
	        nullptr, "-3480", "A5", false),
	    valid({"--ppd", "f.ppd", "--neutral"}, ppd_request, "f.ppd", nullptr,
	        "--neutral", nullptr, false),
	    valid({"office"}, show_request, nullptr, "office", nullptr, nullptr,
	        false),
	    valid({"office", "--media", "Letter"}, show_request, nullptr,
	        "office", nullptr, "Letter", false),
	    valid({"office", "3479"}, set_request, nullptr, "office", "3479",
	        nullptr, false),
	    valid({"office", "-3480"}, set_request, nullptr, "office", "-3480",
	        nullptr, false),
	    valid({"office", "-35.25", "--media", "A5"}, set_request, nullptr,
	        "office", "-35.25", "A5", false),
	    valid({"office", "3270", "--media", "Letter"}, set_request, nullptr,
	        "office", "3270", "Letter", false),
	    valid({"office", "--neutral"}, set_request, nullptr, "office",
	        nullptr, nullptr, true),
	    valid({"office", "--neutral", "--media", "A5"}, set_request, nullptr,
	        "office", nullptr, "A5", true),
	    // What is not --neutral or --media SIZE after QUEUE is DOTS, which
	    // the value's own reading refuses.
	    valid({"office", "--media"}, set_request, nullptr, "office",
	        "--media", nullptr, false),
	    valid({"office", "--neut"}, set_request, nullptr, "office", "--neut",
	        nullptr, false),
	    valid({"office", "-h"}, set_request, nullptr, "office", "-h",
	        nullptr, false),
	    valid({"office", "--"}, set_request, nullptr, "office", "--",
	        nullptr, false),
	    valid({"--calibrate", "office"}, calibrate_request, nullptr,
	        "office", nullptr, nullptr, false),
	    valid({"--calibrate", "office", "--media", "A6"}, calibrate_request,
	        nullptr, "office", nullptr, "A6", false),
	    valid({"--calibrate", "--media"}, calibrate_request, nullptr,
	        "--media", nullptr, nullptr, false),
	    valid({"--check"}, check_request, nullptr, nullptr, nullptr, nullptr,
	        false),
	    valid({"--check", "office"}, check_request, nullptr, "office",
	        nullptr, nullptr, false),
	    valid({"--check", "-35"}, check_request, nullptr, "-35", nullptr,
	        nullptr, false),
	    valid({"--check", "--media"}, check_request, nullptr, "--media",
	        nullptr, nullptr, false),
	    valid({"--remove", "office"}, remove_request, nullptr, "office",
	        nullptr, nullptr, false),
	    valid({"--remove", "-r"}, remove_request, nullptr, "-r", nullptr,
	        nullptr, false),
	    valid({"--restore"}, restore_request, nullptr, nullptr, nullptr,
	        nullptr, false),
	    valid({"--suspend"}, suspend_request, nullptr, nullptr, nullptr,
	        nullptr, false),
	    valid({"--help"}, help_request, nullptr, nullptr, nullptr, nullptr,
	        false),
	    valid({"-h"}, help_request, nullptr, nullptr, nullptr, nullptr,
	        false),
	    valid({"--version"}, version_request, nullptr, nullptr, nullptr,
	        nullptr, false),
	    refused({}),
	    refused({"--ppd", "f.ppd"}),
	    refused({"--ppd", "f.ppd", "--media", "A5"}),
	    refused({"--ppd", "--media", "A5"}),
	    refused({"--ppd", "f.ppd", "3473", "extra"}),
	    refused({"office", "3479", "extra"}),
	    refused({"office", "3479", "--neutral"}),
	    refused({"office", "--neutral", "--neutral"}),
	    refused({"office", "--neutral", "3479"}),
	    refused({"office", "3479", "--med", "A4"}),
	    refused({"office", "3479", "--media", "A4", "--media", "A5"}),
	    refused({"-35"}),
	    refused({"-"}),
	    refused({"--neutral"}),
	    refused({"--neutral", "office"}),
	    refused({"--media", "A4"}),
	    refused({"--media", "A4", "office"}),
	    refused({"--calibrate"}),
	    refused({"--calibrate", "office", "extra"}),
	    refused({"--calibrate", "--media", "A4"}),
	    refused({"--calibrate", "office", "--"}),
	    refused({"--calibrate=office"}),
	    refused({"--cal", "office"}),
	    refused({"--check", "--media", "A4"}),
	    refused({"--check", "office", "--media", "A4"}),
	    refused({"--check", "one", "two"}),
	    refused({"--restore", "--media", "A4"}),
	    refused({"--suspend", "--media", "A4"}),
	    refused({"--restore", "extra"}),
	    refused({"--remove"}),
	    refused({"--remove", "office", "--media", "A4"}),
	    refused({"--", "office"}),
	    refused({"--help", "extra"}),
	    refused({"--version", "--media", "A4"}),
	    refused({"-hh"}),
	    refused({"--check", "--restore", "extra"}),
	    refused({"--restore", "--check"}),
	};
	for (const request_case &c : cases) {
		std::string row;
		for (const std::string &argument : c.arguments)
			row += " " + argument;
		setup_request request = {};
		ASSERT_EQ(read(c.arguments, &request), c.valid) << row;
		if (!c.valid)
			continue;
		EXPECT_EQ(request.command, c.command) << row;
		EXPECT_EQ(text(request.file), text(c.file)) << row;
		EXPECT_EQ(text(request.queue), text(c.queue)) << row;
		EXPECT_EQ(text(request.dots), text(c.dots)) << row;
		EXPECT_EQ(text(request.size), text(c.size)) << row;
		EXPECT_EQ(request.neutral, c.neutral) << row;
	}
}

}
