// SPDX-License-Identifier: MIT
// morvane-setup's reading of its arguments: each form of the usage line,
// values that start with '-', --media at the end, and what it refuses.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "request.h"

namespace {

// The request that read_request makes of the arguments after the
// program's name, written out, or "refused".
std::string request_of(const std::vector<std::string> &arguments)
{
	std::vector<std::string> copies = {"morvane-setup"};
	copies.insert(copies.end(), arguments.begin(), arguments.end());
	std::vector<char *> argv;
	for (std::string &copy : copies)
		argv.push_back(copy.data());
	argv.push_back(nullptr);
	setup_request r = {};
	if (!read_request((int)copies.size(), argv.data(), &r))
		return "refused";
	const char *const commands[] = {"none", "help", "version", "ppd", "show",
	    "set", "calibrate", "check", "remove", "restore", "suspend"};
	std::string said = commands[r.command];
	const char *const labels[] = {" file=", " queue=", " dots=", " size="};
	const char *const operands[] = {r.file, r.queue, r.dots, r.size};
	for (int i = 0; i < 4; i++)
		if (operands[i] != nullptr)
			said += labels[i] + std::string(operands[i]);
	return said + (r.neutral ? " neutral" : "");
}

struct request_case {
	std::vector<std::string> arguments;
	const char *request;
};

TEST(read_request, takes_the_forms_of_the_usage_line_and_refuses_others)
{
	const request_case cases[] = {
	    {{"--ppd", "f.ppd", "3473"}, "ppd file=f.ppd dots=3473"},
	    {{"--ppd", "f.ppd", "-35.25"}, "ppd file=f.ppd dots=-35.25"},
	    {{"--ppd", "-f", "-3480", "--media", "A5"},
	        "ppd file=-f dots=-3480 size=A5"},
	    {{"--ppd", "f.ppd", "--neutral"}, "ppd file=f.ppd dots=--neutral"},
	    {{"office"}, "show queue=office"},
	    {{"office", "--media", "Letter"}, "show queue=office size=Letter"},
	    {{"office", "3479"}, "set queue=office dots=3479"},
	    {{"office", "-3480"}, "set queue=office dots=-3480"},
	    {{"office", "-35.25", "--media", "A5"},
	        "set queue=office dots=-35.25 size=A5"},
	    {{"office", "3270", "--media", "Letter"},
	        "set queue=office dots=3270 size=Letter"},
	    {{"office", "--neutral"}, "set queue=office neutral"},
	    {{"office", "--neutral", "--media", "A5"},
	        "set queue=office size=A5 neutral"},
	    // After QUEUE, what is neither --neutral nor the last --media SIZE
	    // is DOTS, which the reading of the value refuses.
	    {{"office", "--media"}, "set queue=office dots=--media"},
	    {{"office", "--neut"}, "set queue=office dots=--neut"},
	    {{"office", "-h"}, "set queue=office dots=-h"},
	    {{"office", "--"}, "set queue=office dots=--"},
	    {{"--calibrate", "office"}, "calibrate queue=office"},
	    {{"--calibrate", "office", "--media", "A6"},
	        "calibrate queue=office size=A6"},
	    {{"--calibrate", "--media"}, "calibrate queue=--media"},
	    {{"--check"}, "check"},
	    {{"--check", "office"}, "check queue=office"},
	    {{"--check", "-35"}, "check queue=-35"},
	    {{"--check", "--media"}, "check queue=--media"},
	    {{"--remove", "office"}, "remove queue=office"},
	    {{"--remove", "-r"}, "remove queue=-r"},
	    {{"--restore"}, "restore"},
	    {{"--suspend"}, "suspend"},
	    {{"--help"}, "help"},
	    {{"-h"}, "help"},
	    {{"--version"}, "version"},
	    {{}, "refused"},
	    {{"--ppd", "f.ppd"}, "refused"},
	    {{"--ppd", "f.ppd", "--media", "A5"}, "refused"},
	    {{"--ppd", "--media", "A5"}, "refused"},
	    {{"--ppd", "f.ppd", "3473", "extra"}, "refused"},
	    {{"office", "3479", "extra"}, "refused"},
	    {{"office", "3479", "--neutral"}, "refused"},
	    {{"office", "--neutral", "--neutral"}, "refused"},
	    {{"office", "--neutral", "3479"}, "refused"},
	    {{"office", "3479", "--med", "A4"}, "refused"},
	    {{"office", "3479", "--media", "A4", "--media", "A5"}, "refused"},
	    {{"-35"}, "refused"},
	    {{"-"}, "refused"},
	    {{"--neutral", "office"}, "refused"},
	    {{"--media", "A4"}, "refused"},
	    {{"--media", "A4", "office"}, "refused"},
	    {{"--calibrate"}, "refused"},
	    {{"--calibrate", "office", "extra"}, "refused"},
	    {{"--calibrate", "--media", "A4"}, "refused"},
	    {{"--calibrate", "office", "--"}, "refused"},
	    {{"--calibrate=office"}, "refused"},
	    {{"--cal", "office"}, "refused"},
	    {{"--check", "--media", "A4"}, "refused"},
	    {{"--check", "office", "--media", "A4"}, "refused"},
	    {{"--check", "one", "two"}, "refused"},
	    {{"--restore", "--media", "A4"}, "refused"},
	    {{"--suspend", "--media", "A4"}, "refused"},
	    {{"--restore", "--check"}, "refused"},
	    {{"--remove"}, "refused"},
	    {{"--remove", "office", "--media", "A4"}, "refused"},
	    {{"--", "office"}, "refused"},
	    {{"--help", "extra"}, "refused"},
	    {{"--version", "--media", "A4"}, "refused"},
	    // Refused in the middle of "-hh": the next reading starts afresh.
	    {{"-hh"}, "refused"},
	    {{"-h"}, "help"},
	};
	for (const request_case &c : cases) {
		std::string row;
		for (const std::string &argument : c.arguments)
			row += " " + argument;
		EXPECT_EQ(request_of(c.arguments), c.request) << row;
	}
}

}
